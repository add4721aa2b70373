// SPDX-License-Identifier: MIT
// Writes "ptcdrop-cli: " and the message text; nothing waits for a key.
#include "ConsoleAlert.h"

#include "Messages.h"

#include <cstdio>

namespace ptcdrop {
namespace {

// Every alert is exactly one line, so that scripts can count and parse them: control
// characters that a file name, a tag or a name field may carry are shown as escapes.
QString oneLine(const QString& text)
{
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\n')
            line += QLatin1StringView("\\n");
        else if (c == u'\r')
            line += QLatin1StringView("\\r");
        else if (c == u'\t')
            line += QLatin1StringView("\\t");
        else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                 c == QChar::ParagraphSeparator)
            line += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    return line;
}

} // namespace

void ConsoleAlert::alert(const Alert& alert)
{
    ++m_count;
    const QByteArray line = "ptcdrop-cli: " + oneLine(messageText(alert)).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace ptcdrop
