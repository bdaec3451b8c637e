#include "owner/TenderFile.h"

#include "data/AppPaths.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "datamgmt/FileCopy.h"
#include "owner/OwnerAccounts.h"
#include "owner/OwnerTables.h"
#include "owner/TenderProjects.h"

#include <QDir>
#include <QFileInfo>

namespace tenvora {

void CreateTenderFile(const QString& path, const NewTender& tender) {
    if (QFileInfo::exists(path))
        throw Refused(QStringLiteral("文件 %1 已经存在，没有改动它").arg(QDir::toNativeSeparators(path)));
    NamedStage stage(path);
    {
        Database db = Database::create(stage.path(), DataFileKey());
        Transaction tx(db);
        Schema::create(db);
        OwnerTables::ensure(db);
        TenderProjects(db).add({tender.projectId, tender.projectName, tender.builder, 0});
        OwnerAccounts(db).addOwner(tender.ownerUnit, tender.ownerPassword);
        tx.commit();
        Schema::ensureIndexes(db);
    }
    // The file is checked as the workbench will open it before it takes its name.
    Database::open(stage.path(), DataFileKey(), Database::Mode::Verify).checkIntegrity();
    if (QFileInfo::exists(path))
        throw Refused(QStringLiteral("文件 %1 已经存在，没有改动它").arg(QDir::toNativeSeparators(path)));
    stage.commit();
}

} // namespace tenvora
