// What the window was asked to do on its command line: files to convert, help or version.
#pragma once

#include <QString>
#include <QStringList>

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
    QStringList files; // as given, in order
    // The toolkit's own window options that were given (-geometry WxH+X+Y, -display D,
    // -platform P, -style S), passed on to it with their values.
    QStringList toolkitArguments;
    QString error; // for UsageError
};

// Reads the arguments after the program name. Every argument after "--", and every one that
// does not start with "-", is a file; "-" alone is a file too. The toolkit gets only the few
// window options it is known for, and only before "--": a file named like one of its
// options (given after "--") stays a file.
WindowArguments parseWindowArguments(const QStringList& arguments);

// The text of --help.
QString windowUsage();

} // namespace ptcdrop
