// SPDX-License-Identifier: MIT
// ptcdrop-cli: converts the given files exactly as one drop on the window would.
#include "CommandLine.h"
#include "ConsoleAlert.h"
#include "Conversion.h"
#include "DroppedNames.h"
#include "FileReport.h"
#include "FileSystem.h"
#include "Messages.h"
#include "PathBytes.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QLocale>
#include <QThread>
#include <QTranslator>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

constexpr int kExitAlerted = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxJobs = 256;

int usageError(const QString& message)
{
    const QByteArray line =
        "ptcdrop-cli: " + message.toUtf8() + "\nTry 'ptcdrop-cli --help' for more information.\n";
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    return kExitUsage;
}

void writeOut(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

// Describes every file and writes nothing; a name that is not text is reported unreadable; 1 when a
// file could not be read or a container's digest does not match its bytes.
int inspect(const QList<QByteArray>& arguments, const QList<std::optional<QString>>& files,
            bool json)
{
    bool fault = false;
    for (qsizetype index = 0; index < files.size(); ++index) {
        const ptcdrop::Inspection inspection =
            files[index] ? ptcdrop::inspectFile(*files[index], *files[index])
                         : ptcdrop::inspectUnnamable(arguments[index]);
        fault = fault || inspection.isFault();
        if (json)
            writeOut(
                QJsonDocument(ptcdrop::inspectionJson(inspection)).toJson(QJsonDocument::Compact) +
                '\n');
        else
            writeOut(ptcdrop::inspectionText(inspection).toUtf8());
    }
    // A full disk or a closed pipe must not pass for a clean inspection.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("ptcdrop-cli: the output could not be written\n", stderr);
        return kExitAlerted;
    }
    return fault ? kExitAlerted : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // A write beyond the file size limit must fail with EFBIG, which the conversion reports
    // ("Save") and cleans up after, rather than kill the process in the middle of a batch.
    std::signal(SIGXFSZ, SIG_IGN);

    const QCommandLineOption gzipOption(
        QStringLiteral("gzip"),
        QStringLiteral("Gzip plain files before packing; gunzip GRP payloads to .txt."));
    const QCommandLineOption joinOption(
        QStringLiteral("join"),
        QStringLiteral("Join the series of each FILE into NAME.dat (with --gzip: the "
                       "gunzipped NAME.txt)."));
    const QCommandLineOption inspectOption(
        QStringLiteral("inspect"),
        QStringLiteral("Describe each FILE without converting it; writes nothing."));
    const QCommandLineOption jsonOption(
        QStringLiteral("json"),
        QStringLiteral("With --inspect: one JSON object per FILE and line, for scripts."));
    const QCommandLineOption jobsOption(
        QStringLiteral("jobs"),
        QStringLiteral("Convert with N threads (default: the number of processors). The "
                       "outputs and messages are the same for every N; 1 converts one file "
                       "after another."),
        QStringLiteral("N"));
    // Written out rather than addHelpOption(), which would also list --help-all for Qt's own
    // options: this program gives Qt none.
    const QCommandLineOption helpOption(
        QStringList{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
        QStringLiteral("Displays help on commandline options."));
    const QCommandLineOption versionOption(
        QStringList{QStringLiteral("v"), QStringLiteral("version")},
        QStringLiteral("Displays version information."));
    const QList<QCommandLineOption> options{gzipOption, joinOption, inspectOption, jsonOption,
                                            jobsOption, helpOption, versionOption};

    // Read before the application object exists, and that object is given no argument: Qt
    // would take the ones that look like its own ("-qmljsdebugger=...") out of the list.
    QList<QStringList> known;
    for (const QCommandLineOption& option : options)
        known.append(option.names());
    const ptcdrop::CommandLine command =
        ptcdrop::readCommandLine(ptcdrop::argumentsOf(argc, argv), known, jobsOption.names());
    int applicationArgc = 1;
    QCoreApplication app(applicationArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ptcdrop-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PTCDROP_VERSION));

    QTranslator strings;
    ptcdrop::loadStringTable(strings, QLocale::system());
    QCoreApplication::installTranslator(&strings);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Packs plain files into PTC containers and unpacks PTC containers, beside each "
        "source, as one drop on the ptcdrop window would.\n"
        "With --inspect, describes each FILE instead and changes nothing: plain file or "
        "container, and for a container its header fields, the payload the unpacking would "
        "take and whether the digest matches.\n"
        "With --join, each FILE is one piece of a series NAME_0.ptc, NAME_1.ptc, ... (a "
        "container without an _N index is a series of one); the whole series in FILE's "
        "folder is joined once into NAME.dat beside it, the payloads one after another. A "
        "container does not record how long the original file was, so NAME.dat ends in "
        "the last piece's zero fill. With --join --gzip the joined payloads are one gzip "
        "stream, and NAME.txt gets exactly the file that was packed. A missing piece, a "
        "piece that is not a GRP container or a broken stream is reported by the piece's "
        "name, and nothing is written for that series.\n"
        "Every argument after \"--\" is a FILE, even when it begins with a dash.\n"
        "Exit status: 0 when nothing went wrong, 1 when a message was shown (with --inspect: "
        "a file could not be read or a digest does not match), 2 for a usage error."));
    parser.addOptions(options);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Files to convert, in order."),
                                 QStringLiteral("FILE..."));
    if (!command.error.isEmpty())
        return usageError(command.error);
    if (command.isSet(QStringLiteral("h"))) {
        writeOut(parser.helpText().toUtf8());
        return 0;
    }
    if (command.isSet(QStringLiteral("v"))) {
        writeOut(QCoreApplication::applicationName().toUtf8() + ' ' +
                 QCoreApplication::applicationVersion().toUtf8() + '\n');
        return 0;
    }

    const bool inspecting = command.isSet(inspectOption.names().first());
    if (inspecting && command.isSet(gzipOption.names().first()))
        return usageError(
            QStringLiteral("--inspect converts nothing, so --gzip has no meaning with it"));
    const bool joining = command.isSet(joinOption.names().first());
    if (inspecting && joining)
        return usageError(QStringLiteral("--inspect and --join cannot be combined"));
    if (!inspecting && command.isSet(jsonOption.names().first()))
        return usageError(QStringLiteral("--json needs --inspect"));

    int jobs = std::max(1, QThread::idealThreadCount());
    if (command.isSet(jobsOption.names().first())) {
        bool valid = false;
        jobs = command.value(jobsOption.names().first()).toInt(&valid);
        if (!valid || jobs < 1 || jobs > kMaxJobs)
            return usageError(QStringLiteral("--jobs needs a number from 1 to %1").arg(kMaxJobs));
    }

    if (command.operands.isEmpty())
        return usageError(QStringLiteral("no FILE given"));
    // An empty name would resolve to the working directory itself.
    if (command.operands.contains(QByteArray()))
        return usageError(QStringLiteral("an empty FILE name"));

    // A relative name stays relative: the system resolves it from the working folder even
    // where that folder's own path is too long to be spelled out, and "link/.." keeps
    // meaning what the system makes of it (the link target's parent). Outputs land beside
    // each source all the same, since the save folder is derived from the name as given.
    QList<std::optional<QString>> files;
    files.reserve(command.operands.size());
    for (const QByteArray& operand : command.operands)
        files.append(ptcdrop::pathFromBytes(operand));

    if (inspecting)
        return inspect(command.operands, files, command.isSet(jsonOption.names().first()));

    ptcdrop::ConsoleAlert alerts;
    const bool gzip = command.isSet(gzipOption.names().first());
    ptcdrop::Conversion conversion(alerts, [gzip] { return gzip; });
    conversion.setJobs(jobs);
    // An interrupted batch leaves no temporary behind, and ends with the signal's status.
    ptcdrop::fs::installInterruptCleanup();
    ptcdrop::fs::raiseDescriptorLimit();
    if (joining)
        ptcdrop::joinDroppedNames(conversion, alerts, command.operands);
    else
        ptcdrop::convertDroppedNames(conversion, alerts, command.operands);
    return alerts.count() > 0 ? kExitAlerted : 0;
}
