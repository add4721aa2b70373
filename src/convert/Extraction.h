// SPDX-License-Identifier: MIT
// Taking the payload out of a container held in memory.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace ptcdrop {

// The payload with its trailing zero run cut down to two bytes, scanning back from the
// payload's end (offset 48 + length - 1, or the file's last byte when it ends earlier).
QByteArray gzipData(const QByteArray& container, quint64 length);

// What extracting one container gives: the output file name and its bytes, or no bytes
// when the payload did not decompress.
struct Extracted
{
    QString fileName;
    std::optional<QByteArray> content;
    // The gunzipped payload went on with bytes that are neither a gzip member nor zero
    // fill; they are not in `content`.
    bool trailingBytes = false;
};

// A "GRP" container: the payload area as ".dat", or with `gzip` its gunzipped payload as
// ".txt". Every range is bounded by the end of `container`.
Extracted extractGRP(const QByteArray& container, bool gzip);

// A "PRG" container: the program text from offset 60 as ".txt".
Extracted extractPRG(const QByteArray& container);

} // namespace ptcdrop
