// SPDX-License-Identifier: MIT
// Reading a front end's arguments as the system passed them, before Qt can take any.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace ptcdrop {

// What the arguments ask for. Only the options named as taking a value have one.
struct CommandLine
{
    QStringList options;               // the first name of each option given, once, in order
    QList<QByteArray> operands;        // every other argument, and all after "--", unchanged
    QString error;                     // the usage error ("Unknown option 'x'."), or empty
    QHash<QString, QByteArray> values; // by first name: the value given last

    bool isSet(const QString& name) const { return options.contains(name); }
    QByteArray value(const QString& name) const { return values.value(name); }
};

// The arguments after the program name, as bytes (a file name need not be text).
QList<QByteArray> argumentsOf(int argc, const char* const* argv);

// Reads `arguments` against the options a front end knows, each given by its names: one
// letter ("h") is written "-h", a longer name ("gzip") "--gzip"; several one-letter options
// may share a dash ("-hv"). "--" ends the options. "-" and every argument that does not
// begin with a dash is an operand, and so is every argument after "--", whatever it looks
// like: nothing is left out or taken as the toolkit's own option.
//
// Called before the application object is made, which is then given the program name
// alone (argc 1), so that neither the CLI nor the window loses a file argument to Qt.
// Options whose first name is in `takingValue` take one: "--jobs=2" or "--jobs 2".
CommandLine readCommandLine(const QList<QByteArray>& arguments, const QList<QStringList>& known,
                            const QStringList& takingValue = {});

} // namespace ptcdrop
