// SPDX-License-Identifier: MIT
// File reads and writes. Sources are opened with O_NONBLOCK and checked with fstat before
// reading, so a FIFO or device among the dropped paths is refused instead of blocking.
#include "FileAccess.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace ptcdrop {
namespace {

// Owns a file descriptor for the length of one read.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

std::optional<QByteArray> readRegularOrThrow(const QString& path, qint64 limit)
{
    const QByteArray native = QFile::encodeName(path);
    Descriptor fd(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat info = {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;

    QByteArray bytes;
    const qint64 expected =
        limit < 0 ? qint64(info.st_size) : std::min<qint64>(limit, info.st_size);
    bytes.reserve(qsizetype(expected) + 1);
    constexpr qsizetype kChunk = qsizetype(1) << 20;
    for (;;) {
        qsizetype want = kChunk;
        if (limit >= 0)
            want = std::min<qsizetype>(want, qsizetype(limit) - bytes.size());
        if (want <= 0)
            break;
        const qsizetype before = bytes.size();
        bytes.resize(before + want);
        const ssize_t got = ::read(fd.get(), bytes.data() + before, size_t(want));
        if (got < 0) {
            if (errno == EINTR) {
                bytes.resize(before);
                continue;
            }
            return std::nullopt; // an I/O error is a failed read, never a shorter file
        }
        bytes.resize(before + got);
        if (got == 0)
            break;
    }
    return bytes;
}

// A file larger than the memory we can get is a file we cannot read: the batch goes on
// with a "Read" alert instead of the allocation failure ending the program.
std::optional<QByteArray> readRegular(const QString& path, qint64 limit)
{
    try {
        return readRegularOrThrow(path, limit);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<QByteArray> readRegularFile(const QString& path)
{
    return readRegular(path, -1);
}

std::optional<QByteArray> readRegularFileHead(const QString& path, qint64 length)
{
    return readRegular(path, length);
}

} // namespace ptcdrop
