// Deciding whether a file is a PTC container and which resource it holds.
#pragma once

#include <QByteArray>
#include <QString>

namespace ptcdrop {

// True when the last component's extension is "PTC" in any letter case.
bool hasContainerExtension(const QString& path);

// The resource tag of a file named `path` whose first bytes are `head` (48 bytes suffice):
// empty for a plain file, else bytes 45-47 up to the first zero byte.
QString resourceTag(const QString& path, const QByteArray& head);

} // namespace ptcdrop
