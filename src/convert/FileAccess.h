// SPDX-License-Identifier: MIT
// Whole-file reads that never hang, for classification and inspection.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace ptcdrop {

// The whole content of a regular file, or no result when the path is missing, is not a
// regular file (a folder, FIFO, socket or device: opened without blocking and refused),
// or cannot be read to its end.
std::optional<QByteArray> readRegularFile(const QString& path);

// At most `length` bytes from the start of a regular file; no result as above.
std::optional<QByteArray> readRegularFileHead(const QString& path, qint64 length);

} // namespace ptcdrop
