// SPDX-License-Identifier: MIT
// The file layer the conversion works through: folders, sources, temporaries, commits.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <utility>

// Every system call of the conversion lives in one file per platform (FileSystem_posix.cpp)
// behind these declarations, so that another platform is one more file. Names are native
// bytes (QFile::encodeName) relative to an open folder: a folder is resolved once, and a
// link swapped or a folder renamed afterwards cannot send one file's outputs elsewhere.
namespace ptcdrop::fs {

// Owns one native handle; -1 when empty.
class Handle
{
public:
    Handle() = default;
    explicit Handle(int fd) : m_fd(fd) {}
    ~Handle();
    Handle(Handle&& other) noexcept : m_fd(other.release()) {}
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    int get() const { return m_fd; }
    int release();
    bool isOpen() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Device and inode (links followed): tells whether two names are one file whatever their
// spelling or the disk's case rules.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
inline size_t qHash(const FileIdentity& identity, size_t seed = 0)
{
    return qHashMulti(seed, identity.device, identity.inode);
}

// What a stat of a path gives the batch: whether it is a folder, and its identity.
struct PathInfo
{
    bool isDirectory = false;
    FileIdentity identity;
    qint64 size = 0;
};
std::optional<PathInfo> pathInfo(const QString& path);

// An open folder, the one every output of a source goes to.
std::optional<Handle> openFolder(const QString& path);

// Hands each name in a folder ("." and ".." left out) to `visit`, in no particular order,
// without holding the listing; false when the folder could not be listed to its end.
bool forEachEntry(const Handle& folder, const std::function<void(const QByteArray&)>& visit);

// A regular file opened for reading (without blocking on a FIFO), with what fstat said at
// opening. No result for a missing entry, a folder, a FIFO, a device or a socket.
struct Source
{
    Handle handle;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds
    FileIdentity identity;
};
std::optional<Source> openSource(const Handle& folder, const QByteArray& name);

// Reads up to `length` bytes at the current offset; -1 on an I/O error, 0 at the end.
qint64 readSome(const Source& source, char* into, qint64 length);

// Reads `length` bytes at `offset`, leaving the current offset alone, so that several
// threads may read one source; fewer only at its end, -1 on an I/O error.
qint64 readAt(const Source& source, char* into, qint64 length, qint64 offset);

// False when the source's size or modification time is no longer what it was at opening.
bool unchanged(const Source& source);

// An output being written. Unnamed where the file system allows it (it then vanishes with
// the process, even on kill -9); elsewhere a hidden name in the folder that the interrupt
// clean-up knows of. Destroying one that was not committed removes it.
class Temporary
{
public:
    Temporary() = default;
    Temporary(Temporary&& other) noexcept { *this = std::move(other); }
    Temporary& operator=(Temporary&& other) noexcept;
    ~Temporary();
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    bool isValid() const { return handle.isOpen() || !name.isEmpty(); }

    int folder = -1;      // not owned: the folder outlives its temporaries
    Handle handle;        // open while being written, and after when unnamed
    QByteArray name;      // the hidden name, when it has one
    qint32 slot = -1;     // its entry in the interrupt clean-up list
    bool readied = false; // readyToReplace() has been done
};

// A new temporary in `folder`. With `named`, it gets a hidden name at once (used when a
// file has more outputs than can be held open).
std::optional<Temporary> createTemporary(const Handle& folder, bool named);
// Writes all of `bytes`; false on any failure (a full disk, the file size limit).
bool writeAll(Temporary& temporary, QByteArrayView bytes);
// Done writing. `keepOpen` false gives an unnamed temporary a hidden name and closes it, so
// that it holds no descriptor until its commit.
bool finishWriting(Temporary& temporary, bool keepOpen);

// The identity of the file `name` in `folder` names (links followed), if any.
std::optional<FileIdentity> identityAt(const Handle& folder, const QByteArray& name);

// What stands at an output's name when it is about to be committed.
struct Target
{
    bool exists = false;                  // any entry, a dangling link included
    bool regularFile = false;             // a regular file (not followed through a link)
    unsigned permissions = 0;             // its 0777 bits, when a regular file
    std::optional<FileIdentity> identity; // of the file it names, links followed
};
Target inspectTarget(const Handle& folder, const QByteArray& name);
// The entry `name` itself, held open without being read, where the platform can open an
// entry so. A file replaced by a rename while held keeps its storage until the handle
// closes: freeing it falls to whoever closes the handle, not to the rename. Not open when
// the platform cannot, or nothing stands there.
Handle holdEntry(const Handle& folder, const QByteArray& name);

enum class CommitResult
{
    Committed,
    Failed
};
// Puts the temporary in place under `name`, replacing what `target` described. A regular
// file replaced passes on its permission bits (never setuid, setgid or sticky) and is
// flushed first, so that a crash leaves the old file or the whole new one. With
// `closeLater`, a committed temporary's descriptor is handed there instead of closed, so
// that the caller may close it on another thread.
CommitResult commit(Temporary& temporary, const Handle& folder, const QByteArray& name,
                    const Target& target, Handle* closeLater = nullptr);
// The part of commit() over an existing `target` that comes before the rename: the
// permissions, the flush and a hidden name. Done ahead (on another thread, say), it leaves
// commit() one rename; false when it failed, and commit() then fails too.
bool readyToReplace(Temporary& temporary, const Handle& folder, const Target& target);
// Puts an open temporary in place under `name` only if nothing stands there: one system
// call where the name is free, the common case. Taken: nothing was changed, and commit()
// decides what to do with the entry that is there.
enum class LinkResult
{
    Linked,
    Taken,
    Failed
};
LinkResult linkIfFree(Temporary& temporary, const Handle& folder, const QByteArray& name);
// Removes the temporary without a trace.
void discard(Temporary& temporary);

// Holds back INT, TERM and HUP on this thread for its lifetime, so that the outputs of one
// file are committed all together or not at all.
class InterruptHold
{
public:
    InterruptHold();
    ~InterruptHold();
    InterruptHold(const InterruptHold&) = delete;
    InterruptHold& operator=(const InterruptHold&) = delete;

private:
    bool m_active = false;
    unsigned char m_saved[128] = {};
};

// For a process that converts: on INT, TERM or HUP, named temporaries are removed before
// the process ends with that signal's usual status. Worker threads call
// blockInterrupts() so that the signal is taken where commits can hold it back.
void installInterruptCleanup();
void blockInterrupts();

// Lets the process open as many descriptors as its hard limit allows (at most 2^20): the
// more outputs of a large file can stay unnamed, the fewer a kill -9 could leave behind.
void raiseDescriptorLimit();

// How many descriptors this process may still open, roughly; decides how many unnamed
// temporaries one file may hold open.
qint64 descriptorBudget();

// Grows the process's descriptor table to hold `count` descriptors at once. Called before
// the batch starts its threads: once several threads share the table, every time it
// doubles the kernel waits for a grace period (milliseconds each) before going on.
void reserveDescriptors(qint64 count);

} // namespace ptcdrop::fs
