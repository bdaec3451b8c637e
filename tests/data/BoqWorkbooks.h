// Test workbooks written at test time by workbooks.py (python3-xlwt, python3-openpyxl) beside this
// file, and exported workbooks read back by openpyxl.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

namespace tenvora::test {

// The folder of the fixture files, as the build names it (not __FILE__, which a compiler cache
// may have made relative).
inline QString WorkbookFixtureDir() {
    return QStringLiteral(TENVORA_TEST_DATA_DIR);
}

// The Debian interpreter: python3-xlwt is installed for it, not for other interpreters on PATH.
inline QString FixturePython() {
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

// Runs workbooks.py with the arguments and the given standard input; empty text on success,
// otherwise what went wrong. What the script prints goes to output when given.
inline QString RunWorkbookScript(const QStringList& args, const QByteArray& input = {}, QByteArray* output = nullptr) {
    QProcess p;
    p.start(FixturePython(), QStringList{QDir(WorkbookFixtureDir()).filePath(QStringLiteral("workbooks.py"))} + args);
    if (!p.waitForStarted())
        return p.errorString();
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString::fromUtf8(p.readAllStandardError()) + p.errorString();
    if (output)
        *output = p.readAllStandardOutput();
    return {};
}

// One sheet: rows of JSON values (text, number or null).
inline QJsonObject Sheet(const QString& name, const QJsonArray& rows) {
    return QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("rows"), rows}};
}

// Writes an .xls with the sheets; empty text on success.
inline QString WriteWorkbook(const QString& path, const QJsonArray& sheets) {
    return RunWorkbookScript({QStringLiteral("sheets"), path, QStringLiteral("-")},
                             QJsonDocument(sheets).toJson(QJsonDocument::Compact));
}

// Writes a zip archive of the entries (name -> text); empty text on success.
inline QString WriteZip(const QString& path, const QJsonObject& entries) {
    return RunWorkbookScript({QStringLiteral("zip"), path, QStringLiteral("-")},
                             QJsonDocument(entries).toJson(QJsonDocument::Compact));
}

// An .xlsx as openpyxl reads it (see workbooks.py read); an empty object when it cannot.
inline QJsonObject ReadWithOpenpyxl(const QString& path, QString* failure = nullptr) {
    QByteArray output;
    const QString error = RunWorkbookScript({QStringLiteral("read"), path}, {}, &output);
    if (failure)
        *failure = error;
    return error.isEmpty() ? QJsonDocument::fromJson(output).object() : QJsonObject();
}

inline QJsonArray BoqHeadings() {
    return QJsonArray{QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"),
                      QStringLiteral("合同单价"), QStringLiteral("合同数量")};
}

} // namespace tenvora::test
