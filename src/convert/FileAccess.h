// Whole-file reads that never hang and atomic whole-file writes.
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

// Writes `bytes` to `path` through a temporary file in the same folder renamed over the
// target: afterwards the target is either the complete new file or untouched, and no
// temporary file is left. A link at `path` is replaced, never written through. False when
// anything failed.
bool writeAtomically(const QString& path, const QByteArray& bytes);

// The identity of a file on disk (device and inode, links followed), to tell whether two
// paths name the same file whatever their spelling or the disk's case rules.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> identityOf(const QString& path);

} // namespace ptcdrop
