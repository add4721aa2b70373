// SPDX-License-Identifier: MIT
// What the window was asked to do on its command line: files to convert, help or version.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace ptcdrop {

struct WindowArguments
{
    enum class Action
    {
        Open,
        Help,
        Version,
        UsageError
    };
    Action action = Action::Open;
    bool gzip = false;
    QList<QByteArray> files; // as given, in order, the system's bytes
    // The toolkit's own window options that were given (-geometry WxH+X+Y, -display D,
    // -platform P, -style S), passed on to it with their values.
    QList<QByteArray> toolkitArguments;
    QString error; // for UsageError
};

// Reads the arguments after the program name. Every argument after "--", and every one that
// does not start with "-", is a file; "-" alone is a file too. The toolkit gets only the few
// window options it is known for, and only before "--": a file named like one of its
// options (given after "--") stays a file.
WindowArguments parseWindowArguments(const QList<QByteArray>& arguments);

// The text of --help.
QString windowUsage();

} // namespace ptcdrop
