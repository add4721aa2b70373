// SPDX-License-Identifier: MIT
// The argument reader. Errors are worded as Qt's own parser words them, so that scripts
// reading our usage errors see the same texts as before.
#include "CommandLine.h"

#include "PathBytes.h"

namespace ptcdrop {
namespace {

// The first name of the known option that has `name`, or empty.
QString optionNamed(const QList<QStringList>& known, const QString& name)
{
    for (const QStringList& names : known) {
        if (names.contains(name))
            return names.first();
    }
    return QString();
}

} // namespace

QList<QByteArray> argumentsOf(int argc, const char* const* argv)
{
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    return arguments;
}

CommandLine readCommandLine(const QList<QByteArray>& arguments, const QList<QStringList>& known,
                            const QStringList& takingValue)
{
    CommandLine command;
    const auto take = [&](const QString& option) {
        if (!command.options.contains(option))
            command.options.append(option);
    };
    const auto unknown = [&](QByteArrayView name) {
        if (command.error.isEmpty())
            command.error = QStringLiteral("Unknown option '%1'.").arg(readableBytes(name));
    };

    bool optionsEnded = false;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        const QByteArray& argument = arguments[index];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            command.operands.append(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument.startsWith("--")) {
            const QByteArray name = argument.sliced(2);
            const qsizetype equals = name.indexOf('=');
            const QString option = name.size() > 1 && equals < 0
                                       ? optionNamed(known, QString::fromUtf8(name))
                                       : QString();
            const QString valued =
                equals > 1 ? optionNamed(known, QString::fromUtf8(name.first(equals))) : option;
            if (!valued.isEmpty() && takingValue.contains(valued)) {
                if (equals > 1) {
                    command.values.insert(valued, name.sliced(equals + 1));
                } else if (index + 1 < arguments.size()) {
                    command.values.insert(valued, arguments[++index]);
                } else if (command.error.isEmpty()) {
                    command.error = QStringLiteral("Missing value after '--%1'.").arg(valued);
                    continue;
                }
                take(valued);
            } else if (!option.isEmpty())
                take(option);
            else if (equals > 1 &&
                     !optionNamed(known, QString::fromUtf8(name.first(equals))).isEmpty() &&
                     command.error.isEmpty())
                command.error = QStringLiteral("Unexpected value after '--%1'.")
                                    .arg(readableBytes(name.first(equals)));
            else
                unknown(name);
        } else {
            // One-letter options sharing a dash; an argument that is not made of them only
            // is one unknown option, named whole ("-qmljsdebugger=x", not "-q").
            const QByteArray letters = argument.sliced(1);
            QStringList found;
            for (const char letter : letters) {
                const QString option = optionNamed(known, QString(QLatin1Char(letter)));
                if (option.isEmpty() || uchar(letter) >= 0x80) {
                    found.clear();
                    break;
                }
                found.append(option);
            }
            if (found.isEmpty())
                unknown(letters);
            for (const QString& option : found)
                take(option);
        }
    }
    return command;
}

} // namespace ptcdrop
