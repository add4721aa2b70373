// SPDX-License-Identifier: MIT
// Deciding whether a file is a PTC container and which resource it holds.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace ptcdrop {

// True when the last component's extension is "PTC" in any letter case.
bool hasContainerExtension(const QString& path);

// The resource tag of a container named `path` whose first bytes are `head` (48 bytes
// suffice): bytes 45-47 up to the first zero byte, empty when that is the first or the file
// ends before it. No result for a plain file (no ".ptc" extension or no signature).
std::optional<QString> containerTag(const QString& path, const QByteArray& head);

// containerTag(), with a plain file's tag as the empty text.
QString resourceTag(const QString& path, const QByteArray& head);

} // namespace ptcdrop
