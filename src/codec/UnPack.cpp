// SPDX-License-Identifier: MIT
// Field appenders over QByteArray.
#include "UnPack.h"

#include <algorithm>

namespace ptcdrop {

void unpack_n2(QByteArray& data, quint32 value)
{
    data.append(char(value >> 8 & 0xFF));
    data.append(char(value & 0xFF));
}

void unpack_N4(QByteArray& data, quint32 value)
{
    unpack_n2(data, value >> 16);
    unpack_n2(data, value);
}

void unpack_v2(QByteArray& data, quint32 value)
{
    data.append(char(value & 0xFF));
    data.append(char(value >> 8 & 0xFF));
}

void unpack_V4(QByteArray& data, quint32 value)
{
    unpack_v2(data, value);
    unpack_v2(data, value >> 16);
}

void unpack_C(QByteArray& data, quint64 value)
{
    data.append(char(value & 0xFF));
}

void unpack(QByteArray& data, QByteArrayView text, quint64 width)
{
    const qsizetype terminator = text.indexOf('\0');
    const quint64 textLength = quint64(terminator < 0 ? text.size() : terminator);
    const quint64 copied = std::min(textLength, width);
    data.append(text.data(), qsizetype(copied));
    data.append(qsizetype(width - copied), '\0');
}

void seek(QByteArray& data, quint32 length)
{
    if (quint64(data.size()) < length)
        data.append(qsizetype(length - quint64(data.size())), '\0');
}

} // namespace ptcdrop
