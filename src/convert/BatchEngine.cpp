// SPDX-License-Identifier: MIT
// The batch's threads: a small pool that prepares, and the calling thread that commits.
#include "BatchEngine.h"

#include "PathRules.h"
#include "PtcFormat.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace ptcdrop {
namespace {

// Folders opened once per batch and shared by the files in them.
class FolderCache
{
public:
    std::shared_ptr<const fs::Handle> get(const QString& path)
    {
        const std::lock_guard lock(m_mutex);
        if (const auto found = m_folders.constFind(path); found != m_folders.cend())
            return *found;
        std::optional<fs::Handle> folder = fs::openFolder(path);
        if (!folder)
            return nullptr;
        auto shared = std::make_shared<const fs::Handle>(std::move(*folder));
        // Many folders: the oldest are let go (files still holding one keep it open).
        if (m_folders.size() >= kKept)
            m_folders.clear();
        m_folders.insert(path, shared);
        return shared;
    }

private:
    static constexpr qsizetype kKept = 256;
    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<const fs::Handle>> m_folders;
};

// Piece work done on the spot: one job, or a file prepared on the calling thread.
class InlinePieces : public PieceWork
{
public:
    void submit(std::function<void()> task) override { task(); }
    void waitForAll() override {}
};

class Batch
{
    static constexpr qsizetype kUnresolvedFolders = 32;

public:
    Batch(const QList<BatchFile>& files, const BatchSettings& settings)
        : m_files(files), m_settings(settings)
    {
        m_jobs = std::max(1, settings.jobs);
        m_window = m_jobs == 1 ? 1 : 16 * m_jobs;
        m_results = std::vector<std::optional<PreparedFile>>(size_t(m_window));
        // Outputs are held open unnamed up to the descriptor budget; the rest of it is kept
        // for sources, folders and the front end. The window may hold many small files
        // (a few pieces each) but only a few large ones, which share what the small leave.
        // Only as many large files share it as the batch has.
        const qint64 budget = fs::descriptorBudget() - 320;
        qsizetype large = 0;
        for (qsizetype i = 0; i < m_files.size(); ++i)
            large += isSmall(i) ? 0 : 1;
        m_largeAhead = std::min<qsizetype>({m_window, 2 * m_jobs, large});
        const qsizetype sharing = std::max<qsizetype>(1, m_largeAhead);
        const qint64 forSmall = m_window > sharing ? m_window * kSmallOpen : 0;
        m_largeOpen = std::max<qint64>(kSmallOpen, (budget - forSmall) / sharing);
        m_context.folder = [this](const QString& path) { return m_folders.get(path); };
        m_context.gzipSwitch = settings.gzipSwitch;
        m_context.cancel = settings.cancel;
    }

    BatchSummary run();

private:
    // Pieces of one file handed to the pool, at most a few at a time so that memory stays
    // bounded; beyond that the file's own thread builds them.
    class PooledPieces : public PieceWork
    {
    public:
        explicit PooledPieces(Batch& batch) : m_batch(batch) {}
        void submit(std::function<void()> task) override;
        void waitForAll() override;

    private:
        Batch& m_batch;
        int m_outstanding = 0;
    };

    bool cancelled() const
    {
        return m_settings.cancel && m_settings.cancel->load(std::memory_order_relaxed);
    }
    PreparedFile prepare(qsizetype index, PieceWork& work);
    void commit(PreparedFile& file);
    void commitOutputs(PreparedFile& file);
    void alert(const Alert& alert);
    void report(BatchProgress::Step step, qsizetype index, qint64 done = 0, qint64 total = 0,
                qint64 pieces = 0);
    void workerLoop();
    qint64 descriptorsInFlight() const;
    bool mayStart(qsizetype index) const;
    // Small enough at the batch's start to be converted in a moment (a few milliseconds).
    bool isSmall(qsizetype index) const
    {
        return m_files[index].size >= 0 && m_files[index].size <= kSmallFile;
    }
    static constexpr qint64 kSmallFile = qint64(256) << 10;
    // Outputs a small file holds open: its pieces, and a few more should it have grown.
    static constexpr qint64 kSmallOpen = 8;
    // Descriptors of a long series closed by the pool at a time.
    static constexpr size_t kCloseShare = 256;
    qint64 m_largeOpen = kSmallOpen;
    qsizetype m_largeAhead = 0; // large files that may be in flight at once

    const QList<BatchFile>& m_files;
    const BatchSettings& m_settings;
    int m_jobs = 1;
    qsizetype m_window = 1;
    FolderCache m_folders;
    PreparationContext m_context;
    BatchSummary m_summary;
    // Sources of the batch and outputs committed so far: no output replaces one of them.
    // An output's identity is looked up only once some later output finds its name taken
    // (most batches write only new names), so committing costs no extra system call.
    bool isProtected(const fs::Target& target);
    // Runs `step` for every index below `count`, shared with the pool when there is one.
    void forEachShared(size_t count, const std::function<void(size_t)>& step);
    bool m_pooled = false;
    void noteCommitted(const std::shared_ptr<const fs::Handle>& folder, const QByteArray& name);
    QSet<fs::FileIdentity> m_protected;
    struct CommittedNames
    {
        std::shared_ptr<const fs::Handle> folder;
        QList<QByteArray> names;
    };
    QHash<const fs::Handle*, CommittedNames> m_unresolved;

    // Shared with the pool, under m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_pieces;
    // Files prepared and not yet committed, by batch index modulo the window: a slot is
    // taken again only once its file is committed.
    std::vector<std::optional<PreparedFile>> m_results;
    std::optional<PreparedFile>& resultOf(qsizetype index)
    {
        return m_results[size_t(index % m_window)];
    }
    qsizetype m_nextFile = 0;
    qsizetype m_committed = 0;
    bool m_stopping = false;
};

void Batch::PooledPieces::submit(std::function<void()> task)
{
    {
        std::unique_lock lock(m_batch.m_mutex);
        if (m_outstanding < 8 * m_batch.m_jobs) {
            ++m_outstanding;
            m_batch.m_pieces.push_back([this, task = std::move(task)] {
                task();
                const std::lock_guard done(m_batch.m_mutex);
                --m_outstanding;
                m_batch.m_changed.notify_all();
            });
            m_batch.m_changed.notify_all();
            return;
        }
    }
    task();
}

void Batch::PooledPieces::waitForAll()
{
    std::unique_lock lock(m_batch.m_mutex);
    while (m_outstanding > 0) {
        // Help rather than wait: whatever piece is queued, this thread can build it.
        if (!m_batch.m_pieces.empty()) {
            std::function<void()> task = std::move(m_batch.m_pieces.front());
            m_batch.m_pieces.pop_front();
            lock.unlock();
            task();
            lock.lock();
        } else {
            m_batch.m_changed.wait(lock);
        }
    }
}

PreparedFile Batch::prepare(qsizetype index, PieceWork& work)
{
    PreparationContext context = m_context;
    context.openOutputs = isSmall(index) ? kSmallOpen : m_largeOpen;
    context.progress = [this, index](qint64 done, qint64 total, qint64 pieces) {
        report(BatchProgress::Step::WithinFile, index, done, total, pieces);
    };
    // Read on this thread only, by the one preparation.
    auto gzipRead = std::make_shared<std::optional<bool>>();
    context.gzipSwitch = [gzipSwitch = m_context.gzipSwitch, gzipRead] {
        const bool on = gzipSwitch();
        *gzipRead = on;
        return on;
    };
    const BatchFile& file = m_files[index];
    PreparedFile prepared = prepareFile(file.path, file.handling, context, work);
    prepared.gzipRead = *gzipRead;
    return prepared;
}

bool Batch::mayStart(qsizetype index) const
{
    // Many small files may be prepared ahead, only a few others: while an alert holds up
    // the commits, the files done ahead wait as temporaries on the disk.
    if (index >= m_files.size())
        return false;
    const qsizetype ahead = isSmall(index) ? m_window : std::min<qsizetype>(m_window, 2 * m_jobs);
    return index < m_committed + ahead && (m_files[index].identity || index == m_committed);
}

qint64 Batch::descriptorsInFlight() const
{
    // The outputs that the files prepared ahead hold open, at most: each small file's
    // pieces in the whole window, and the largest file's as many times as large files may
    // be in flight. Sources, folders and the front end take a few more.
    qsizetype small = 0;
    qint64 largestOpen = 0;
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        if (isSmall(i)) {
            ++small;
        } else {
            const qint64 pieces = std::max<qint64>(m_files[i].size, 0) / ptc::kPayloadSize + 2;
            largestOpen = std::max(largestOpen, std::min(pieces, m_largeOpen));
        }
    }
    return 320 + std::min(small, m_window) * kSmallOpen + m_largeAhead * largestOpen;
}

void Batch::workerLoop()
{
    fs::blockInterrupts(); // interrupts are taken on the committing thread
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_pieces.empty()) {
            std::function<void()> task = std::move(m_pieces.front());
            m_pieces.pop_front();
            lock.unlock();
            task();
            lock.lock();
            continue;
        }
        if (m_stopping)
            return;
        if (mayStart(m_nextFile)) {
            const qsizetype index = m_nextFile++;
            lock.unlock();
            PooledPieces work(*this);
            PreparedFile prepared = prepare(index, work);
            lock.lock();
            resultOf(index) = std::move(prepared);
            m_changed.notify_all();
            continue;
        }
        m_changed.wait(lock);
    }
}

BatchSummary Batch::run()
{
    const qsizetype count = m_files.size();
    std::vector<std::thread> pool;
    // The calling thread is one of the jobs: it prepares and builds too while it would
    // otherwise wait for the next file to commit.
    if (m_jobs > 1 && count > 0) {
        fs::reserveDescriptors(descriptorsInFlight());
        for (int i = 1; i < m_jobs; ++i)
            pool.emplace_back([this] { workerLoop(); });
        m_pooled = true;
    }
    // Needed at the first commit only: the pool starts on the first files meanwhile.
    m_protected.reserve(count);
    for (const BatchFile& file : m_files) {
        if (file.identity)
            m_protected.insert(*file.identity);
    }
    for (qsizetype index = 0; index < count; ++index) {
        if (cancelled()) {
            m_summary.cancelled = true;
            break;
        }
        report(BatchProgress::Step::FileStarted, index);
        std::optional<PreparedFile> prepared;
        if (pool.empty()) {
            InlinePieces work;
            prepared = prepare(index, work);
        } else {
            std::unique_lock lock(m_mutex);
            // Until this file is ready, this thread prepares the file next to start: this
            // one, or a later one that is small, so that with many small files both cores
            // prepare. A large later file is left to the pool: converting it here would
            // hold back the commits, alerts and progress of the files before it.
            while (!resultOf(index)) {
                const qsizetype next = m_nextFile;
                if (mayStart(next) && (next == index || isSmall(next))) {
                    ++m_nextFile;
                    lock.unlock();
                    PooledPieces work(*this);
                    PreparedFile own = prepare(next, work);
                    lock.lock();
                    resultOf(next) = std::move(own);
                    m_changed.notify_all();
                } else if (!m_pieces.empty()) {
                    std::function<void()> task = std::move(m_pieces.front());
                    m_pieces.pop_front();
                    lock.unlock();
                    task();
                    lock.lock();
                } else {
                    m_changed.wait(lock);
                }
            }
            prepared = std::move(resultOf(index));
            resultOf(index).reset();
        }
        // Prepared ahead, while an earlier file was still being done (its alert up, say),
        // with a gzip switch that has been turned since: done again as the switch now
        // stands, so that the result is what converting the files one by one gives.
        if (!pool.empty() && prepared->gzipRead && !prepared->cancelled &&
            *prepared->gzipRead != m_settings.gzipSwitch()) {
            prepared.reset();
            PooledPieces work(*this);
            prepared = prepare(index, work);
        }
        if (prepared->cancelled || cancelled()) {
            m_summary.cancelled = true;
            break; // its temporaries go with it
        }
        commit(*prepared);
        prepared.reset();
        const std::lock_guard lock(m_mutex);
        m_committed = index + 1;
        // The pool is woken once room for several files has opened, not at every commit:
        // a pool that keeps the window full would otherwise sleep and wake once per file.
        if (m_nextFile - m_committed <= m_window / 2)
            m_changed.notify_all();
    }
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_committed = count; // nothing more is started
        m_changed.notify_all();
    }
    for (std::thread& thread : pool)
        thread.join();
    m_results.clear(); // files prepared beyond a cancel: their temporaries go
    if (cancelled())
        m_summary.cancelled = true;
    report(BatchProgress::Step::Finished, count);
    return m_summary;
}

void Batch::commit(PreparedFile& file)
{
    commitOutputs(file);
    if (file.afterCommit)
        alert(*file.afterCommit);
}

void Batch::commitOutputs(PreparedFile& file)
{
    if (file.alert) {
        alert(*file.alert);
        return;
    }
    // A single output whose name is free goes straight in: a free name is no file of the
    // batch and no earlier output. Only a taken name needs the look below.
    if (file.outputs.size() == 1 && file.outputs.front().temporary) {
        PreparedOutput& output = file.outputs.front();
        const QByteArray name = QFile::encodeName(output.fileName);
        const fs::LinkResult linked = fs::linkIfFree(*output.temporary, *file.folder, name);
        if (linked != fs::LinkResult::Taken) {
            if (linked == fs::LinkResult::Linked) {
                noteCommitted(file.folder, name);
                ++m_summary.outputsWritten;
                ++m_summary.filesConverted;
            } else {
                alert(Alert{QString::fromLatin1(keys::kSave), output.fileName});
            }
            return;
        }
    }
    // What stands at each output's name. An output never replaces a file of the batch nor
    // an output this batch wrote before; when one of a file's outputs would, none of them
    // is written, so that no series ends up mixed from two files.
    // With many outputs (a long series), the looks and what replacing needs before the
    // renames (a flush each) are shared with the pool; the renames stay here, in order.
    std::vector<fs::Target> targets(file.outputs.size());
    forEachShared(file.outputs.size(), [&](size_t i) {
        const PreparedOutput& output = file.outputs[i];
        if (output.temporary)
            targets[i] = fs::inspectTarget(*file.folder, QFile::encodeName(output.fileName));
    });
    bool refused = false;
    for (const fs::Target& target : targets)
        refused = refused || isProtected(target);
    // Freeing a replaced file's storage costs more than its rename: in a long series, the
    // files replaced are held open and freed by the pool, which closes them after their
    // renames. A hold takes the descriptor of its output, which is no longer needed once
    // the output has a name, so that no more are open than while the file was prepared.
    const bool closeElsewhere = m_pooled && file.outputs.size() > kCloseShare;
    std::vector<fs::Handle> held(closeElsewhere ? file.outputs.size() : 0);
    if (!refused) {
        forEachShared(file.outputs.size(), [&](size_t i) {
            PreparedOutput& output = file.outputs[i];
            if (!output.temporary || !targets[i].exists)
                return;
            fs::Temporary& temporary = *output.temporary;
            const bool wasOpen = temporary.handle.isOpen();
            if (fs::readyToReplace(temporary, *file.folder, targets[i]) && closeElsewhere &&
                wasOpen && !temporary.name.isEmpty()) {
                temporary.handle = fs::Handle();
                held[i] = fs::holdEntry(*file.folder, QFile::encodeName(output.fileName));
            }
        });
    }
    // A file's outputs go into place together: an interrupt waits until they are. The
    // renames stay on this thread: in one folder, the kernel does them one at a time, and
    // a second thread would only spin on the folder's lock.
    // Closing the committed descriptors is left to the pool meanwhile: it costs about as
    // much as the renames and takes no folder lock.
    std::vector<char> committed(file.outputs.size(), 0);
    {
        PooledPieces closing(*this);
        std::vector<fs::Handle> toClose;
        const auto closeShare = [&] {
            closing.submit([handles = std::make_shared<std::vector<fs::Handle>>(
                                std::move(toClose))] { handles->clear(); });
            toClose.clear();
        };
        std::optional<fs::InterruptHold> hold;
        if (file.outputs.size() > 1 && !refused)
            hold.emplace();
        for (size_t i = 0; i < file.outputs.size(); ++i) {
            PreparedOutput& output = file.outputs[i];
            if (output.temporary && !refused) {
                fs::Handle descriptor;
                committed[i] =
                    fs::commit(*output.temporary, *file.folder, QFile::encodeName(output.fileName),
                               targets[i], closeElsewhere ? &descriptor : nullptr) ==
                    fs::CommitResult::Committed;
                if (descriptor.isOpen())
                    toClose.push_back(std::move(descriptor));
                if (closeElsewhere && held[i].isOpen())
                    toClose.push_back(std::move(held[i]));
                if (toClose.size() >= kCloseShare)
                    closeShare();
            }
            output.temporary.reset();
        }
        hold.reset();
        if (!toClose.empty())
            closeShare();
        closing.waitForAll();
    }
    QStringList failed;
    for (size_t i = 0; i < file.outputs.size(); ++i) {
        if (committed[i]) {
            noteCommitted(file.folder, QFile::encodeName(file.outputs[i].fileName));
            ++m_summary.outputsWritten;
        } else {
            failed.append(file.outputs[i].fileName);
        }
    }
    for (const QString& name : failed)
        alert(Alert{QString::fromLatin1(keys::kSave), name});
    if (failed.isEmpty() && !file.outputs.empty())
        ++m_summary.filesConverted;
}

void Batch::forEachShared(size_t count, const std::function<void(size_t)>& step)
{
    constexpr size_t kLeast = 16; // fewer are done here: handing them over costs more
    if (!m_pooled || count < 2 * kLeast) {
        for (size_t i = 0; i < count; ++i)
            step(i);
        return;
    }
    PooledPieces work(*this);
    const size_t share = std::max(kLeast, count / size_t(4 * m_jobs));
    for (size_t begin = 0; begin < count; begin += share) {
        const size_t end = std::min(count, begin + share);
        work.submit([&step, begin, end] {
            for (size_t i = begin; i < end; ++i)
                step(i);
        });
    }
    work.waitForAll();
}

bool Batch::isProtected(const fs::Target& target)
{
    if (!target.identity)
        return false;
    for (const CommittedNames& committed : std::as_const(m_unresolved)) {
        for (const QByteArray& name : committed.names) {
            if (const std::optional<fs::FileIdentity> identity =
                    fs::identityAt(*committed.folder, name))
                m_protected.insert(*identity);
        }
    }
    m_unresolved.clear();
    return m_protected.contains(*target.identity);
}

void Batch::noteCommitted(const std::shared_ptr<const fs::Handle>& folder, const QByteArray& name)
{
    // Each folder listed keeps its descriptor open; beyond a few, they are looked up now.
    if (!m_unresolved.contains(folder.get()) && m_unresolved.size() >= kUnresolvedFolders)
        isProtected(fs::Target{true, false, 0, fs::FileIdentity{}});
    CommittedNames& committed = m_unresolved[folder.get()];
    committed.folder = folder;
    committed.names.append(name);
}

void Batch::alert(const Alert& alert)
{
    ++m_summary.alertsShown;
    m_settings.alerts.alert(alert);
}

void Batch::report(BatchProgress::Step step, qsizetype index, qint64 done, qint64 total,
                   qint64 pieces)
{
    if (!m_settings.progress)
        return;
    const QString name =
        index < m_files.size() ? paths::lastComponent(m_files[index].path) : QString();
    m_settings.progress(BatchProgress{step, index, m_files.size(), name, done, total, pieces});
}

} // namespace

BatchSummary runBatch(const QList<BatchFile>& files, const BatchSettings& settings)
{
    Batch batch(files, settings);
    return batch.run();
}

} // namespace ptcdrop
