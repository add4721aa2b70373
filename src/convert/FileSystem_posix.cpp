// SPDX-License-Identifier: MIT
// The file layer on POSIX (Linux first, macOS where noted): every system call the conversion makes.
#include "FileSystem.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ptcdrop::fs {
namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
static_assert(sizeof(sigset_t) <= 128, "InterruptHold keeps a sigset_t in 128 bytes");

// The names of temporaries that exist under a name, for the interrupt handler. This is the
// one piece of process-wide state of the core: a signal handler has nothing else to reach.
// Slots live in blocks that are never freed, so the handler can walk them without a lock;
// a slot is published by its state, written last.
constexpr int kSlotsPerBlock = 1024;
constexpr int kMaxBlocks = 4096;
constexpr size_t kNameRoom = 32;

struct Slot
{
    std::atomic<int> live{0};
    int folder = -1;
    char name[kNameRoom] = {};
};

struct Block
{
    Slot entries[kSlotsPerBlock];
};

struct Registry
{
    std::array<std::atomic<Block*>, kMaxBlocks> blocks{};
    // An interrupt is being handled: no new name may appear. Together with `creating`, the
    // count of names being made right now, this lets the handler wait until every name
    // that can still appear has, before it removes them (another thread may be making one
    // while the handler runs; the process ends as soon as the handler is done).
    std::atomic<bool> dying{false};
    std::atomic<int> creating{0};
    std::mutex mutex; // allocation only; the handler never takes it
    std::vector<qint32> freeSlots;
    qint32 nextSlot = 0;
};

Registry& registry()
{
    static Registry* instance = new Registry; // never destroyed: a handler may run at exit
    return *instance;
}

Slot* slotAt(qint32 index)
{
    Block* block =
        registry().blocks[size_t(index / kSlotsPerBlock)].load(std::memory_order_acquire);
    return block ? &block->entries[index % kSlotsPerBlock] : nullptr;
}

// A slot naming `name` in `folder`; -1 when the list is full (the temporary is then only
// removed by its owner).
qint32 registerName(int folder, const QByteArray& name)
{
    Registry& list = registry();
    qint32 index = -1;
    {
        const std::lock_guard lock(list.mutex);
        if (!list.freeSlots.empty()) {
            index = list.freeSlots.back();
            list.freeSlots.pop_back();
        } else if (list.nextSlot < kSlotsPerBlock * kMaxBlocks) {
            index = list.nextSlot++;
            auto& block = list.blocks[size_t(index / kSlotsPerBlock)];
            if (!block.load(std::memory_order_relaxed))
                block.store(new Block, std::memory_order_release);
        }
    }
    if (index < 0 || name.size() >= qsizetype(kNameRoom))
        return -1;
    Slot* slot = slotAt(index);
    slot->folder = folder;
    std::memcpy(slot->name, name.constData(), size_t(name.size()) + 1);
    slot->live.store(1, std::memory_order_release);
    return index;
}

void releaseName(qint32 index)
{
    if (index < 0)
        return;
    slotAt(index)->live.store(0, std::memory_order_release);
    Registry& list = registry();
    const std::lock_guard lock(list.mutex);
    list.freeSlots.push_back(index);
}

// Brackets the making of one hidden name (registration and the call that creates it). Not
// valid when an interrupt is being handled: the caller then makes no name.
class NameCreation
{
public:
    NameCreation() : m_list(registry())
    {
        m_list.creating.fetch_add(1);
        m_valid = !m_list.dying.load();
        if (!m_valid)
            m_list.creating.fetch_sub(1);
    }
    ~NameCreation()
    {
        if (m_valid)
            m_list.creating.fetch_sub(1);
    }
    NameCreation(const NameCreation&) = delete;
    NameCreation& operator=(const NameCreation&) = delete;
    bool isValid() const { return m_valid; }

private:
    Registry& m_list;
    bool m_valid = false;
};

// Only async-signal-safe calls from here on.
void removeRegisteredNames()
{
    Registry& list = registry();
    list.dying.store(true);
    // Names other threads are making now are waited for (briefly: one open or link call).
    for (int round = 0; round < 2000 && list.creating.load() > 0; ++round) {
        const timespec pause{0, 100000};
        ::nanosleep(&pause, nullptr);
    }
    for (auto& entry : list.blocks) {
        Block* block = entry.load(std::memory_order_acquire);
        if (!block)
            break;
        for (Slot& slot : block->entries) {
            if (slot.live.load(std::memory_order_acquire))
                ::unlinkat(slot.folder, slot.name, 0);
        }
    }
}

void onInterrupt(int signal)
{
    const int saved = errno;
    removeRegisteredNames();
    // The usual status: end as if the signal had not been caught.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    errno = saved;
}

sigset_t interruptSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kInterrupts)
        sigaddset(&set, signal);
    return set;
}

FileIdentity identityFrom(const struct stat& info)
{
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino)};
}

qint64 modifiedFrom(const struct stat& info)
{
#ifdef __APPLE__
    return qint64(info.st_mtimespec.tv_sec) * 1000000000 + info.st_mtimespec.tv_nsec;
#else
    return qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
#endif
}

QByteArray hiddenName()
{
    return ".ptcdrop-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
}

// Flushes the file's data to the disk; macOS needs F_FULLFSYNC for that.
bool flushData(int fd)
{
#ifdef __APPLE__
    return ::fcntl(fd, F_FULLFSYNC) == 0 || ::fsync(fd) == 0;
#else
    return ::fdatasync(fd) == 0;
#endif
}

// Gives an open unnamed file the name `name` in `folder`.
bool linkUnnamed(int fd, int folder, const QByteArray& name)
{
#ifdef O_TMPFILE
    // The direct form costs half of the one through /proc, but kernels before 6.10 refuse
    // it (ENOENT) to a process without the right to search by descriptor. Their answer
    // does not change while the process runs, so it is asked once: a process-wide note
    // of what the kernel allows, like the clean-up list above.
    static std::atomic<bool> directRefused{false};
    if (!directRefused.load(std::memory_order_relaxed)) {
        if (::linkat(fd, "", folder, name.constData(), AT_EMPTY_PATH) == 0)
            return true;
        if (errno != ENOENT && errno != EPERM && errno != EINVAL)
            return false;
        directRefused.store(true, std::memory_order_relaxed);
    }
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, proc.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0;
#else
    Q_UNUSED(fd);
    Q_UNUSED(folder);
    Q_UNUSED(name);
    errno = ENOTSUP;
    return false;
#endif
}

// Gives an unnamed temporary a hidden, registered name.
bool nameUnnamed(Temporary& temporary)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray name = hiddenName();
        const NameCreation creation;
        if (!creation.isValid())
            return false;
        const qint32 slot = registerName(temporary.folder, name);
        if (linkUnnamed(temporary.handle.get(), temporary.folder, name)) {
            temporary.name = name;
            temporary.slot = slot;
            return true;
        }
        const int error = errno;
        releaseName(slot);
        if (error != EEXIST)
            return false;
    }
    return false;
}

void forget(Temporary& temporary)
{
    releaseName(temporary.slot);
    temporary.slot = -1;
    temporary.name.clear();
    temporary.handle = Handle();
    temporary.readied = false;
}

} // namespace

Handle::~Handle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Handle& Handle::operator=(Handle&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

int Handle::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

std::optional<PathInfo> pathInfo(const QString& path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return PathInfo{S_ISDIR(info.st_mode), identityFrom(info), qint64(info.st_size)};
}

std::optional<Handle> openFolder(const QString& path)
{
    const QByteArray native = path.isEmpty() ? QByteArray(".") : QFile::encodeName(path);
#ifdef O_PATH
    const int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
    Handle folder(::open(native.constData(), flags));
    if (!folder.isOpen())
        return std::nullopt;
    return folder;
}

bool forEachEntry(const Handle& folder, const std::function<void(const QByteArray&)>& visit)
{
    // The folder may be open for paths only; listing needs a descriptor of its own, which
    // the directory stream then owns.
    const int fd = ::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* stream = ::fdopendir(fd);
    if (stream == nullptr) {
        ::close(fd);
        return false;
    }
    for (;;) {
        errno = 0;
        const struct dirent* entry = ::readdir(stream);
        if (entry == nullptr)
            break;
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            visit(QByteArray::fromRawData(entry->d_name, qsizetype(std::strlen(entry->d_name))));
    }
    const bool complete = errno == 0;
    ::closedir(stream);
    return complete;
}

std::optional<Source> openSource(const Handle& folder, const QByteArray& name)
{
    // O_NONBLOCK: a FIFO without a writer must not stall the batch; fstat then refuses it.
    Handle handle(
        ::openat(folder.get(), name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!handle.isOpen())
        return std::nullopt;
    struct stat info = {};
    if (::fstat(handle.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return Source{std::move(handle), qint64(info.st_size), modifiedFrom(info), identityFrom(info)};
}

qint64 readSome(const Source& source, char* into, qint64 length)
{
    for (;;) {
        const ssize_t got = ::read(source.handle.get(), into, size_t(length));
        if (got >= 0 || errno != EINTR)
            return qint64(got);
    }
}

qint64 readAt(const Source& source, char* into, qint64 length, qint64 offset)
{
    qint64 got = 0;
    while (got < length) {
        const ssize_t step =
            ::pread(source.handle.get(), into + got, size_t(length - got), off_t(offset + got));
        if (step < 0 && errno == EINTR)
            continue;
        if (step < 0)
            return -1;
        if (step == 0)
            break;
        got += step;
    }
    return got;
}

bool unchanged(const Source& source)
{
    struct stat info = {};
    return ::fstat(source.handle.get(), &info) == 0 && qint64(info.st_size) == source.size &&
           modifiedFrom(info) == source.modified;
}

Temporary& Temporary::operator=(Temporary&& other) noexcept
{
    if (this != &other) {
        if (isValid())
            discard(*this);
        folder = other.folder;
        handle = std::move(other.handle);
        name = std::exchange(other.name, QByteArray());
        slot = std::exchange(other.slot, -1);
        readied = std::exchange(other.readied, false);
    }
    return *this;
}

Temporary::~Temporary()
{
    if (isValid())
        discard(*this);
}

std::optional<Temporary> createTemporary(const Handle& folder, bool named)
{
    Temporary temporary;
    temporary.folder = folder.get();
#ifdef O_TMPFILE
    if (!named) {
        temporary.handle =
            Handle(::openat(folder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        // Where the file system has no unnamed files, fall back to a named one.
        if (!temporary.handle.isOpen() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return std::nullopt;
    }
#else
    Q_UNUSED(named);
#endif
    for (int attempt = 0; attempt < 16 && !temporary.handle.isOpen(); ++attempt) {
        const QByteArray name = hiddenName();
        const NameCreation creation;
        if (!creation.isValid())
            return std::nullopt;
        // Registered before it exists, so that no interrupt can come between the two.
        const qint32 slot = registerName(folder.get(), name);
        temporary.handle = Handle(::openat(folder.get(), name.constData(),
                                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (temporary.handle.isOpen()) {
            temporary.name = name;
            temporary.slot = slot;
            break;
        }
        const int error = errno;
        releaseName(slot);
        if (error != EEXIST)
            return std::nullopt;
    }
    if (!temporary.handle.isOpen())
        return std::nullopt;
    return temporary;
}

bool writeAll(Temporary& temporary, QByteArrayView bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote =
            ::write(temporary.handle.get(), bytes.data() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return true;
}

bool finishWriting(Temporary& temporary, bool keepOpen)
{
    if (keepOpen)
        return true;
    if (temporary.name.isEmpty() && !nameUnnamed(temporary))
        return false;
    return ::close(temporary.handle.release()) == 0;
}

std::optional<FileIdentity> identityAt(const Handle& folder, const QByteArray& name)
{
    struct stat info = {};
    if (::fstatat(folder.get(), name.constData(), &info, 0) != 0)
        return std::nullopt;
    return identityFrom(info);
}

Target inspectTarget(const Handle& folder, const QByteArray& name)
{
    Target target;
    struct stat info = {};
    if (::fstatat(folder.get(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return target;
    target.exists = true;
    if (S_ISREG(info.st_mode)) {
        target.regularFile = true;
        target.permissions = unsigned(info.st_mode & 0777);
        target.identity = identityFrom(info);
    } else if (S_ISLNK(info.st_mode)) {
        if (::fstatat(folder.get(), name.constData(), &info, 0) == 0)
            target.identity = identityFrom(info);
    } else {
        target.identity = identityFrom(info);
    }
    return target;
}

Handle holdEntry(const Handle& folder, const QByteArray& name)
{
#ifdef O_PATH
    // A symbolic link is held as the link: opening reads nothing and cannot block, whatever
    // kind of file stands there.
    return Handle(::openat(folder.get(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
#else
    (void)folder;
    (void)name;
    return Handle();
#endif
}

bool readyToReplace(Temporary& temporary, const Handle& folder, const Target& target)
{
    if (temporary.readied)
        return true;
    // The flush and the permissions need the file open; a named one closed to spare
    // descriptors is opened once more for it.
    Handle reopened;
    int fd = temporary.handle.get();
    if (fd < 0) {
        reopened = Handle(::openat(folder.get(), temporary.name.constData(), O_WRONLY | O_CLOEXEC));
        fd = reopened.get();
    }
    bool ok =
        fd >= 0 && (!target.regularFile || ::fchmod(fd, target.permissions) == 0) && flushData(fd);
    // An unnamed file can only be linked to a free name: it is renamed over the old entry
    // from a hidden name.
    if (ok && temporary.name.isEmpty())
        ok = nameUnnamed(temporary);
    temporary.readied = ok;
    return ok;
}

CommitResult commit(Temporary& temporary, const Handle& folder, const QByteArray& name,
                    const Target& target, Handle* closeLater)
{
    const auto committed = [&] {
        if (closeLater)
            *closeLater = std::move(temporary.handle);
        forget(temporary);
        return CommitResult::Committed;
    };
    const int dir = folder.get();
    bool ok = true;
    if (target.exists)
        ok = readyToReplace(temporary, folder, target);
    if (ok && temporary.name.isEmpty()) {
        // An unnamed file can only be linked to a free name: straight in when nothing is
        // there, else under a hidden name first and renamed over the old entry.
        if (!target.exists && linkUnnamed(temporary.handle.get(), dir, name))
            return committed();
        ok = nameUnnamed(temporary);
    }
    ok = ok && ::renameat(dir, temporary.name.constData(), dir, name.constData()) == 0;
    if (!ok) {
        discard(temporary);
        return CommitResult::Failed;
    }
    return committed();
}

LinkResult linkIfFree(Temporary& temporary, const Handle& folder, const QByteArray& name)
{
    if (!temporary.name.isEmpty() || !temporary.handle.isOpen())
        return LinkResult::Taken; // a named one is renamed, never linked: commit() does it
    if (linkUnnamed(temporary.handle.get(), folder.get(), name)) {
        forget(temporary);
        return LinkResult::Linked;
    }
    if (errno == EEXIST)
        return LinkResult::Taken;
    discard(temporary);
    return LinkResult::Failed;
}

void discard(Temporary& temporary)
{
    if (!temporary.name.isEmpty())
        ::unlinkat(temporary.folder, temporary.name.constData(), 0);
    forget(temporary);
}

InterruptHold::InterruptHold()
{
    const sigset_t set = interruptSet();
    sigset_t saved;
    m_active = ::pthread_sigmask(SIG_BLOCK, &set, &saved) == 0;
    std::memcpy(m_saved, &saved, sizeof saved);
}

InterruptHold::~InterruptHold()
{
    if (!m_active)
        return;
    sigset_t saved;
    std::memcpy(&saved, m_saved, sizeof saved);
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

void installInterruptCleanup()
{
    registry(); // made now, not inside a handler
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : kInterrupts)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : kInterrupts)
        ::sigaction(signal, &action, nullptr);
}

void blockInterrupts()
{
    const sigset_t set = interruptSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, rlim_t(1) << 20);
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

qint64 descriptorBudget()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 1024;
    return qint64(limit.rlim_cur);
}

void reserveDescriptors(qint64 count)
{
    count = std::min(count, descriptorBudget());
    if (count <= 64)
        return; // the table starts this large
    // The table never shrinks: a descriptor opened at the highest slot and closed again
    // leaves it grown.
    Handle root(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.isOpen())
        return;
    const int high = ::fcntl(root.get(), F_DUPFD_CLOEXEC, int(count - 1));
    if (high >= 0)
        ::close(high);
}

} // namespace ptcdrop::fs
