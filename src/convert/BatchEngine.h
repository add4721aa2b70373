// SPDX-License-Identifier: MIT
// Running one batch: files prepared ahead on a pool, committed and reported in batch order.
#pragma once

#include "Alert.h"
#include "Conversion.h"
#include "FilePreparation.h"
#include "FileSystem.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

namespace ptcdrop {

// What the batch needs from its owner; the references outlive the run.
struct BatchSettings
{
    AlertSink& alerts;
    const Conversion::GzipSwitch& gzipSwitch;
    const Conversion::Progress& progress;
    const std::atomic<bool>* cancel = nullptr;
    int jobs = 1;
};

// One file of a batch and what is known of it before the batch starts.
struct BatchFile
{
    QString path;
    Handling handling = Handling::Classify;
    // Its identity at the start, links followed; none when it did not exist then.
    std::optional<fs::FileIdentity> identity;
    qint64 size = -1; // its size then, when known
};

// With one job, each file is prepared and committed before the next is opened, on the
// calling thread. With more, a pool prepares files ahead (and the pieces of one file side
// by side), while the calling thread commits them and raises their alerts strictly in
// batch order, so every ordering rule holds as with one job. A file that did not exist
// when the batch started is opened only after every file before it is committed: an
// earlier output may be what it names.
BatchSummary runBatch(const QList<BatchFile>& files, const BatchSettings& settings);

} // namespace ptcdrop
