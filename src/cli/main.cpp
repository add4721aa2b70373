// ptcdrop-cli: converts the given files exactly as one drop on the window would.
#include "ConsoleAlert.h"
#include "Conversion.h"
#include "Messages.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace {

constexpr int kExitAlerted = 1;
constexpr int kExitUsage = 2;

int usageError(const QString& message)
{
    const QByteArray line = "ptcdrop-cli: " + message.toUtf8() +
                            "\nTry 'ptcdrop-cli --help' for more information.\n";
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[])
{
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
        "Exit status: 0 when nothing went wrong, 1 when a message was shown, 2 for a usage "
        "error."));
    const QCommandLineOption gzipOption(
        QStringLiteral("gzip"),
        QStringLiteral("Gzip plain files before packing; gunzip GRP payloads to .txt."));
    parser.addOption(gzipOption);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Files to convert, in order."),
                                 QStringLiteral("FILE..."));
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no FILE given"));

    QStringList files;
    files.reserve(arguments.size());
    for (const QString& argument : arguments)
        files.append(QDir::cleanPath(QDir::current().absoluteFilePath(argument)));

    const bool gzip = parser.isSet(gzipOption);
    ptcdrop::ConsoleAlert alerts;
    ptcdrop::Conversion conversion(alerts, [gzip] { return gzip; });
    if (ptcdrop::Conversion::isDirectory(files))
        alerts.alert(ptcdrop::Alert{QString::fromLatin1(ptcdrop::keys::kDirectory), {}});
    else
        conversion.writeToFiles(files);
    return alerts.count() > 0 ? kExitAlerted : 0;
}
