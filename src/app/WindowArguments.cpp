// The window's command line: [--gzip] [--] FILE..., --help, --version.
#include "WindowArguments.h"

namespace ptcdrop {
namespace {

// The toolkit options a desktop or a test may give a window; each takes one value.
bool isToolkitOption(const QString& argument)
{
    for (const char* option : {"-geometry", "-display", "-platform", "-style"}) {
        if (argument == QLatin1StringView(option))
            return true;
    }
    return false;
}

} // namespace

WindowArguments parseWindowArguments(const QStringList& arguments)
{
    WindowArguments result;
    bool optionsEnded = false;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        const QString& argument = arguments[index];
        if (!optionsEnded && isToolkitOption(argument) && index + 1 < arguments.size()) {
            result.toolkitArguments << argument << arguments[++index];
            continue;
        }
        if (optionsEnded || !argument.startsWith(u'-') || argument == QLatin1StringView("-")) {
            result.files.append(argument);
        } else if (argument == QLatin1StringView("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1StringView("--gzip")) {
            result.gzip = true;
        } else if (argument == QLatin1StringView("--help") || argument == QLatin1StringView("-h")) {
            result.action = WindowArguments::Action::Help;
            return result;
        } else if (argument == QLatin1StringView("--version") ||
                   argument == QLatin1StringView("-v")) {
            result.action = WindowArguments::Action::Version;
            return result;
        } else {
            result.action = WindowArguments::Action::UsageError;
            result.error = QStringLiteral("unknown option '%1'").arg(argument);
            return result;
        }
    }
    return result;
}

QString windowUsage()
{
    return QStringLiteral(
        "Usage: ptcdrop [--gzip] [--] [FILE...]\n"
        "Opens the ptcdrop window. Files dropped on its brown area are converted beside\n"
        "themselves: plain files are packed into .ptc containers, containers are unpacked.\n"
        "FILEs given here are converted at once, as one drop of those files; the window\n"
        "then stays open for more.\n"
        "\n"
        "Options:\n"
        "  --gzip       turn the gzip switch on: gzip plain files before packing, gunzip\n"
        "               GRP payloads to .txt\n"
        "  -h, --help   show this help and exit\n"
        "  -v, --version  show the version and exit\n");
}

} // namespace ptcdrop
