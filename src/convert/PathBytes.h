// SPDX-License-Identifier: MIT
// File names as the system gives them, bytes: the test that a name reaches its own file.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <optional>

namespace ptcdrop {

// The path that opens exactly the file the bytes name, or no result when no text does:
// bytes that are not valid UTF-8 (Qt would read them as U+FFFD, and so open a sibling
// really named that), or a zero byte (the system would end the name there).
//
// The CLI calls it on its raw arguments, the window on localFileBytes() of each dropped URL.
std::optional<QString> pathFromBytes(QByteArrayView bytes);

// The bytes of the local path a file: URL names, its percent-escapes decoded; no result for
// a URL that is not a local file. QUrl::toLocalFile() would give text in which bytes that
// are not UTF-8 are already U+FFFD, so the name can no longer be told from its twin.
std::optional<QByteArray> localFileBytes(const QUrl& url);

// The bytes as readable text: valid UTF-8 as it reads, every other byte, the zero byte and
// the backslash as \xNN or \\, so that the user can tell which name is meant.
QString readableBytes(QByteArrayView bytes);

} // namespace ptcdrop
