// SPDX-License-Identifier: MIT
// One drop batch: classifies each path and packs or extracts it beside its source.
#pragma once

#include "Alert.h"
#include "FileSystem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <functional>

namespace ptcdrop {

using PathIdentity = fs::FileIdentity;

// Where a batch stands, as handed to the progress callback.
struct BatchProgress
{
    enum class Step
    {
        FileStarted, // the batch reached this file: sent in batch order, by the batch's thread
        WithinFile,  // bytes or pieces of this file moved on: from any thread of the conversion
        Finished,    // the batch is over (fileIndex == fileCount)
    };
    Step step = Step::FileStarted;
    qsizetype fileIndex = 0; // 0-based index of the file in hand
    qsizetype fileCount = 0;
    QString fileName;         // its last path component
    qint64 bytesDone = 0;     // of that file: bytes read so far
    qint64 bytesTotal = 0;    // of that file: its size when opened, 0 when not known
    qint64 piecesWritten = 0; // of that file: containers built so far
};

// What a batch did, for a front end's closing word on it.
struct BatchSummary
{
    qsizetype filesConverted = 0; // files all of whose outputs were written
    qsizetype outputsWritten = 0;
    qsizetype alertsShown = 0; // the "Directory" refusal included
    bool cancelled = false;    // stopped by the cancel flag before its end
};

// The conversion both front ends drive. It holds no state between batches; every outcome
// the user must know of goes to the alert sink, and a failed file never stops the batch.
class Conversion
{
public:
    // Read each time a file is handled, exactly when that file needs it.
    using GzipSwitch = std::function<bool()>;
    // May be called often and from any thread of the conversion: it must be cheap and
    // thread-safe. FileStarted and Finished come in order from the batch's own thread.
    using Progress = std::function<void(const BatchProgress&)>;

    Conversion(AlertSink& alerts, GzipSwitch gzipSwitch);

    void setProgress(Progress progress) { m_progress = std::move(progress); }
    // Checked between files and between chunks of a file. Once it is set, the file in hand
    // is given up whole (none of its outputs is written), no alert is raised for it, the
    // files after it are not touched, and the batch returns marked cancelled. Not owned.
    void setCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    // Threads that prepare files of a batch ahead of their commit (and pieces of one file
    // side by side). 1, the default, converts file after file on the calling thread; any
    // number gives the same outputs and the same alerts in the same order.
    void setJobs(int jobs) { m_jobs = std::max(1, jobs); }

    // True when some path names an existing folder (links followed).
    static bool isDirectory(const QStringList& files);
    // One drop of `files`, as both front ends hand it on: a folder among them gives one
    // "Directory" alert and nothing is converted; otherwise the batch is converted.
    BatchSummary convertDrop(const QStringList& files);
    // Converts every path in order. The folder test is the caller's (see convertDrop).
    BatchSummary writeToFiles(const QStringList& files);

    // Joins the series of each piece (see SeriesJoin.h) with this conversion's alerts, gzip
    // switch, cancel flag and progress; one step of progress per entry of `pieces`.
    BatchSummary joinSeries(const QStringList& pieces);

    // The resource tag: empty for a plain file, else the container's tag.
    QString checkPTC(const QString& path) const;
    // The same, telling a plain file (no result) from a container whose tag is empty.
    std::optional<QString> containerTagOf(const QString& path) const;
    // The folder that receives every output of `path`.
    static QString saveDirectory(const QString& path);

    // The three handlers: a plain file, a "GRP" and a "PRG" container. Each is a batch of
    // one file that skips the classification.
    void writePTCFormatToFile(const QString& path);
    void writeTXTToFile(const QString& path);
    void writePRGTXTToFile(const QString& path);

private:
    BatchSummary run(const QStringList& files, const QList<std::optional<fs::PathInfo>>& known);
    void handle(const QString& path, int handling);

    AlertSink& m_alerts;
    GzipSwitch m_gzipSwitch;
    Progress m_progress;
    const std::atomic<bool>* m_cancel = nullptr;
    int m_jobs = 1;
};

} // namespace ptcdrop
