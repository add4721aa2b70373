// File reads and writes. Sources are opened with O_NONBLOCK and checked with fstat before
// reading, so a FIFO or device among the dropped paths is refused instead of blocking.
#include "FileAccess.h"

#include <QFile>
#include <QRandomGenerator>

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

// Written by hand rather than with QSaveFile: QSaveFile follows a link standing at the
// target and replaces the file it points to, which may lie outside the save directory.
// rename() replaces the directory entry itself, link or file.
bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path);
    // The output keeps the permissions of a regular file it replaces; a new one gets 0666
    // less the umask, which open() applies.
    struct stat existing = {};
    const bool entryExists = ::lstat(target.constData(), &existing) == 0;
    const bool replacesFile = entryExists && S_ISREG(existing.st_mode);

    // The temporary file has a short name of its own in the target's folder, so that an
    // output whose name is just within the file system's limit can still be written.
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folderPrefix = slash < 0 ? QByteArray() : target.first(slash + 1);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 64 && fd < 0; ++attempt) {
        temporary = folderPrefix + ".ptcdrop-" +
                    QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    Descriptor file(fd);

    bool ok = !replacesFile || ::fchmod(fd, existing.st_mode & 07777) == 0;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        ok = wrote > 0;
        done += ok ? wrote : 0;
    }
    // A file that replaces another is flushed before the rename, so that a crash leaves the
    // old file or the complete new one. A new file replaces nothing a crash could lose (its
    // source is still there); skipping its flush makes packing many times faster, since one
    // flush per 49200-byte container dominated the time of a large batch.
    ok = ok && (!entryExists || ::fdatasync(fd) == 0);
    ok = ::close(file.release()) == 0 && ok;
    ok = ok && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino)};
}

} // namespace ptcdrop
