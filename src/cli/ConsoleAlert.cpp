// Writes "ptcdrop-cli: " and the message text; nothing waits for a key.
#include "ConsoleAlert.h"

#include "Messages.h"

#include <cstdio>

namespace ptcdrop {

void ConsoleAlert::alert(const Alert& alert)
{
    ++m_count;
    const QByteArray line = "ptcdrop-cli: " + messageText(alert).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace ptcdrop
