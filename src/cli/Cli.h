// Shared plumbing of the tenvora command: options, login, output.
#pragma once

#include "data/DataFileLock.h"
#include "data/DataModule.h"
#include "data/DataSet.h"

#include <QJsonObject>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <memory>

namespace tenvora::cli {

// A wrong command line: exit code 2 with the text and the usage.
class UsageError : public Error {
public:
    using Error::Error;
};

// Whether a command changes the data file (or copies it whole): such a command waits a few
// seconds for the data file's lock and refuses while another program holds it.
enum class Access { Read, Write };

// How long a writing command waits for a workbench or another command to let go of the file.
inline constexpr std::chrono::milliseconds kLockWait{5000};

struct Context {
    QString dataPath;
    QString unit;
    QString password;
    bool json = false;
    QStringList args;                   // the command's own arguments
    std::unique_ptr<DataFileLock> lock; // held until the command ends

    // Takes the data file's lock, waiting kLockWait; throws DataFileError naming the holder.
    void lockForWriting();
    // Opens the data file (throws DataFileError) without logging in.
    std::unique_ptr<DataModule> open(Access access = Access::Read);
    // Opens and logs in exactly as the login dialog does; throws Refused on a wrong password.
    std::unique_ptr<DataModule> openAndLogin(Access access = Access::Read);

    // Removes "--name" from args; true when it was there.
    bool takeFlag(const QString& name);
    // Removes "--name VALUE" from args and returns VALUE, or an empty optional.
    std::optional<QString> takeOption(const QString& name);
    // Refuses leftover options and a wrong count of plain arguments.
    void expectArguments(int count, const QString& usage) const;
    // The absolute path of a file the command is to write, named as given; refuses (Refused) an
    // empty name and one that names a folder or anything but a file.
    QString targetFile(const QString& given) const;
};

struct Command {
    QString name;
    QString usage;   // the arguments after the name
    QString summary; // one line for the overview
    QString help;    // the text of "tenvora COMMAND --help"
    std::function<int(Context&)> run;
    // A group of commands with options of their own (a password among them): the login options
    // --data, --unit and --password count only before the command's name, after it they are the
    // command's arguments.
    bool ownOptionsAfterName = false;
};

// Every command registers itself from its own file through a static CommandRegistration.
const QList<Command>& Commands();

struct CommandRegistration {
    explicit CommandRegistration(Command (*make)());
};

// Where the commands print: stdout and stderr, or the strings of a CapturedOutput while one lives.
QTextStream& out();
QTextStream& err();

// Takes what the commands print for as long as it lives, for a command run inside a test.
class CapturedOutput {
public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;
    QString out();
    QString err();

private:
    QString m_out;
    QString m_err;
    QTextStream m_outStream;
    QTextStream m_errStream;
};

// Runs the command line after the program name (global options, the command, its arguments);
// ctx carries the defaults (the data file beside the program, the login from the environment).
// Returns the exit code: 0 done, 1 refused or failed, 2 a usage error.
int RunCommandLine(const QStringList& args, Context ctx);

void printJson(const QJsonObject& object);
// key: value lines with the keys padded to one width.
void printKeyValues(const QList<QPair<QString, QString>>& pairs);
// An aligned table; widths count a CJK character as two columns.
void printTable(const QStringList& headers, const QList<QStringList>& rows);
// The session values after a load, in JSON or as key: value lines.
void printSession(const Context& ctx, const SessionValues& s);

// Every column of a data-set row by its name, without the row identity.
QJsonObject DataSetRowJson(const DataSet& set, int row);
// A price argument: a number as the grid takes it (full-width forms and thousands separators
// included), or an empty text that clears the price (a null value).
// Anything else is a usage error.
QVariant PriceArgument(const QString& text);
// Takes the subcommand from the arguments and runs its handler.
int RunSubcommand(Context& ctx, const QString& usage, const QList<QPair<QString, std::function<int(Context&)>>>& subs);

} // namespace tenvora::cli
