// ptcdrop-cli: converts the given files exactly as one drop on the window would.
#include "ConsoleAlert.h"
#include "Conversion.h"
#include "FileReport.h"
#include "Messages.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QLocale>
#include <QTranslator>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kExitAlerted = 1;
constexpr int kExitUsage = 2;

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

// Describes every file and writes nothing; 1 when a file could not be read or a container's
// digest does not match its bytes.
int inspect(const QStringList& arguments, const QStringList& files, bool json)
{
    bool fault = false;
    for (qsizetype index = 0; index < files.size(); ++index) {
        const ptcdrop::Inspection inspection = ptcdrop::inspectFile(files[index], arguments[index]);
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
    QCoreApplication app(argc, argv);
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
        "Exit status: 0 when nothing went wrong, 1 when a message was shown (with --inspect: "
        "a file could not be read or a digest does not match), 2 for a usage error."));
    const QCommandLineOption gzipOption(
        QStringLiteral("gzip"),
        QStringLiteral("Gzip plain files before packing; gunzip GRP payloads to .txt."));
    parser.addOption(gzipOption);
    const QCommandLineOption inspectOption(
        QStringLiteral("inspect"),
        QStringLiteral("Describe each FILE without converting it; writes nothing."));
    parser.addOption(inspectOption);
    const QCommandLineOption jsonOption(
        QStringLiteral("json"),
        QStringLiteral("With --inspect: one JSON object per FILE and line, for scripts."));
    parser.addOption(jsonOption);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Files to convert, in order."),
                                 QStringLiteral("FILE..."));
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    const bool inspecting = parser.isSet(inspectOption);
    if (inspecting && parser.isSet(gzipOption))
        return usageError(
            QStringLiteral("--inspect converts nothing, so --gzip has no meaning with it"));
    if (!inspecting && parser.isSet(jsonOption))
        return usageError(QStringLiteral("--json needs --inspect"));

    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no FILE given"));
    // An empty name would resolve to the working directory itself.
    if (arguments.contains(QString()))
        return usageError(QStringLiteral("an empty FILE name"));

    QStringList files;
    files.reserve(arguments.size());
    for (const QString& argument : arguments)
        // Not cleaned: "link/.." must mean what the kernel makes of it (the link target's
        // parent), not the folder that holds the link.
        files.append(QDir::isAbsolutePath(argument) ? argument
                                                    : QDir::currentPath() + u'/' + argument);

    if (inspecting)
        return inspect(arguments, files, parser.isSet(jsonOption));

    const bool gzip = parser.isSet(gzipOption);
    ptcdrop::ConsoleAlert alerts;
    ptcdrop::Conversion conversion(alerts, [gzip] { return gzip; });
    conversion.convertDrop(files);
    return alerts.count() > 0 ? kExitAlerted : 0;
}
