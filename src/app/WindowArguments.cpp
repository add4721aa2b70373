// SPDX-License-Identifier: MIT
// The window's command line: [--gzip] [--] FILE..., --help, --version.
#include "WindowArguments.h"

namespace ptcdrop {
namespace {

// The toolkit options a desktop or a test may give a window; each takes one value.
bool isToolkitOption(const QByteArray& argument)
{
    for (const char* option : {"-geometry", "-display", "-platform", "-style"}) {
        if (argument == option)
            return true;
    }
    return false;
}

} // namespace

WindowArguments parseWindowArguments(const QList<QByteArray>& arguments)
{
    WindowArguments result;
    bool optionsEnded = false;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        const QByteArray& argument = arguments[index];
        if (!optionsEnded && isToolkitOption(argument) && index + 1 < arguments.size()) {
            result.toolkitArguments << argument << arguments[++index];
            continue;
        }
        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            result.files.append(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--gzip") {
            result.gzip = true;
        } else if (argument == "--help" || argument == "-h") {
            result.action = WindowArguments::Action::Help;
            return result;
        } else if (argument == "--version" || argument == "-v") {
            result.action = WindowArguments::Action::Version;
            return result;
        } else {
            result.action = WindowArguments::Action::UsageError;
            result.error =
                QStringLiteral("unknown option '%1'").arg(QString::fromLocal8Bit(argument));
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
