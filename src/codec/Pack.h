// SPDX-License-Identifier: MIT
// Readers of fixed-width fields at a byte offset of a buffer; the buffer is never changed.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace ptcdrop {

// Every reader treats bytes past the buffer's end as zero: a field that runs past the
// end reads its missing bytes as 0 instead of reading outside the buffer.

// Unsigned 16-bit big-endian (field code n).
quint32 pack_n2(const QByteArray& data, quint64 offset);
// Unsigned 32-bit big-endian (field code N).
quint32 pack_N4(const QByteArray& data, quint64 offset);
// Unsigned 16-bit little-endian (field code v).
quint32 pack_v2(const QByteArray& data, quint64 offset);
// Unsigned 32-bit little-endian (field code V).
quint32 pack_V4(const QByteArray& data, quint64 offset);

// Copies `length` bytes from `offset` into `buffer` and writes a zero byte at
// buffer[length], so `buffer` must hold length + 1 bytes and reads as a C string.
void pack_a(const QByteArray& data, quint64 offset, char* buffer, quint64 length);

// A copy of the range [offset, offset + length); length 0 means "to the end", a range
// running past the end is cut at the end, and an offset at or past the end gives no
// result (except offset == size with length 0, which gives an empty buffer).
std::optional<QByteArray> malloc(const QByteArray& data, quint64 offset, quint64 length);

} // namespace ptcdrop
