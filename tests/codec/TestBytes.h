// SPDX-License-Identifier: MIT
// Byte buffers the codec and container tests build their cases from.
#pragma once

#include <QByteArray>
#include <QRandomGenerator>

inline QByteArray zeros(qsizetype count)
{
    return QByteArray(count, '\0');
}

// Reproducible incompressible bytes: the same seed gives the same buffer.
inline QByteArray randomBytes(qsizetype count, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray result(count, Qt::Uninitialized);
    for (char& byte : result)
        byte = char(generator.generate() & 0xFF);
    return result;
}
