// SPDX-License-Identifier: MIT
// The window program: reads its own arguments first, then starts Qt and the delegate.
#include "Application.h"

#include "QvAppDelegate.h"
#include "WindowArguments.h"

#include <QApplication>
#include <QIcon>

#include <csignal>
#include <cstdio>
#include <vector>

namespace ptcdrop {
namespace {

void print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int runWindowApplication(int argc, char* argv[], const std::function<void(QvAppDelegate&)>& started)
{
    // The arguments are read before Qt sees any: Qt would otherwise take a file named like
    // one of its own options (-style=x, -qmljsdebugger=...) for that option.
    QList<QByteArray> arguments;
    for (int index = 1; index < argc; ++index)
        arguments.append(QByteArray(argv[index]));
    const WindowArguments parsed = parseWindowArguments(arguments);
    switch (parsed.action) {
    case WindowArguments::Action::Help:
        print(stdout, windowUsage());
        return 0;
    case WindowArguments::Action::Version:
        print(stdout, QStringLiteral("ptcdrop " PTCDROP_VERSION "\n"));
        return 0;
    case WindowArguments::Action::UsageError:
        print(stderr, QStringLiteral("ptcdrop: %1\nTry 'ptcdrop --help' for more information.\n")
                          .arg(parsed.error));
        return 2;
    case WindowArguments::Action::Open:
        break;
    }

    // A write beyond the file size limit must fail with EFBIG, which the conversion reports
    // ("Save") and cleans up after, rather than kill the window in the middle of a batch.
    std::signal(SIGXFSZ, SIG_IGN);
    // Qt sees the program name and the window options it was given, nothing else.
    QList<QByteArray> qtArguments{QByteArray(argc > 0 ? argv[0] : "ptcdrop")};
    for (const QByteArray& argument : parsed.toolkitArguments)
        qtArguments.append(argument);
    std::vector<char*> qtArgv;
    for (QByteArray& argument : qtArguments)
        qtArgv.push_back(argument.data());
    qtArgv.push_back(nullptr);
    int qtArgc = int(qtArguments.size());
    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("ptcdrop"));
    QApplication::setApplicationVersion(QStringLiteral(PTCDROP_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("ptcdrop"));

    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/ptcdrop-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

    QvAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    if (!parsed.files.isEmpty())
        delegate.openFiles(parsed.files, parsed.gzip);
    else if (parsed.gzip)
        delegate.openFiles({}, true);
    if (started)
        started(delegate);
    return QApplication::exec();
}

} // namespace ptcdrop
