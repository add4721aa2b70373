// SPDX-License-Identifier: MIT
// Field readers over QByteArray; every access is bounded by the buffer's size.
#include "Pack.h"

#include <algorithm>
#include <cstring>

namespace ptcdrop {
namespace {

// Byte `index` of the field at `offset`, or 0 past the end. The sum offset + index is never
// formed: near 2^64 it would wrap round to the start of the buffer.
quint32 byteAt(const QByteArray& data, quint64 offset, quint64 index)
{
    const quint64 size = quint64(data.size());
    if (offset >= size || index >= size - offset)
        return 0;
    return quint32(quint8(data[qsizetype(offset + index)]));
}

} // namespace

quint32 pack_n2(const QByteArray& data, quint64 offset)
{
    return byteAt(data, offset, 0) << 8 | byteAt(data, offset, 1);
}

quint32 pack_N4(const QByteArray& data, quint64 offset)
{
    return byteAt(data, offset, 0) << 24 | byteAt(data, offset, 1) << 16 |
           byteAt(data, offset, 2) << 8 | byteAt(data, offset, 3);
}

quint32 pack_v2(const QByteArray& data, quint64 offset)
{
    return byteAt(data, offset, 0) | byteAt(data, offset, 1) << 8;
}

quint32 pack_V4(const QByteArray& data, quint64 offset)
{
    return byteAt(data, offset, 0) | byteAt(data, offset, 1) << 8 | byteAt(data, offset, 2) << 16 |
           byteAt(data, offset, 3) << 24;
}

void pack_a(const QByteArray& data, quint64 offset, char* buffer, quint64 length)
{
    const quint64 size = quint64(data.size());
    const quint64 available = offset < size ? std::min(length, size - offset) : 0;
    if (available > 0)
        std::memcpy(buffer, data.constData() + offset, available);
    std::memset(buffer + available, 0, length - available + 1);
}

std::optional<QByteArray> malloc(const QByteArray& data, quint64 offset, quint64 length)
{
    const quint64 size = quint64(data.size());
    if (offset > size || (offset == size && length != 0))
        return std::nullopt;
    const quint64 rest = size - offset;
    const quint64 count = (length == 0 || length > rest) ? rest : length;
    return QByteArray(data.constData() + offset, qsizetype(count));
}

} // namespace ptcdrop
