// SPDX-License-Identifier: MIT
// Whole-file helpers the test areas share: write a fixture, read an output back.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// True when the whole of `bytes` was written to `path`.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The file's content, or an empty buffer when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
