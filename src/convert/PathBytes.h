// SPDX-License-Identifier: MIT
// File names as the system gives them, bytes: the test that a name reaches its own file.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace ptcdrop {

// The path that opens exactly the file the bytes name, or no result when no text does:
// bytes that are not valid UTF-8 (Qt would read them as U+FFFD, and so open a sibling
// really named that), or a zero byte (the system would end the name there).
//
// The CLI calls it on its raw arguments. The window calls it on the bytes of a dropped
// file: URL, percent-escapes decoded, since QUrl::toLocalFile() has already replaced
// invalid bytes:
//     pathFromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()))
std::optional<QString> pathFromBytes(QByteArrayView bytes);

// The bytes as readable text: valid UTF-8 as it reads, every other byte, the zero byte and
// the backslash as \xNN or \\, so that the user can tell which name is meant.
QString readableBytes(QByteArrayView bytes);

} // namespace ptcdrop
