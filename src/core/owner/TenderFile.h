// A new tender file: the data file the owner prepares the tender in and issues the bidders'
// copies from.
#pragma once

#include <QString>

namespace tenvora {

struct NewTender {
    QString projectId;
    QString projectName;
    QString builder; // 建设单位, may be empty
    QString ownerUnit;
    QString ownerPassword;
};

// Writes a new tender file at path: the eight tables of the data file exactly as the bidder's
// side creates them, the owner's tables, the first project and the owner's account (kind "1",
// never offered at the bidder's login). Refuses (Refused) an existing path and what the project
// and account rules refuse; nothing is left behind when it fails (the file is built beside its
// place and renamed into it).
void CreateTenderFile(const QString& path, const NewTender& tender);

} // namespace tenvora
