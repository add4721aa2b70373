// SPDX-License-Identifier: MIT
// Converting one file into temporaries: read, classify, pack or extract, nothing committed.
#pragma once

#include "Alert.h"
#include "FileSystem.h"

#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace ptcdrop {

// One output of a file, written but not yet in place.
struct PreparedOutput
{
    QString fileName;
    // No value when it could not be written: its commit is a "Save" alert.
    std::optional<fs::Temporary> temporary;
};

// Everything a file gives before its commit. Either an alert that ends the file before any
// output (Read, Unzip, Resource, or Save when compression failed), or its outputs in order.
struct PreparedFile
{
    std::shared_ptr<const fs::Handle> folder;
    std::optional<Alert> alert;
    std::deque<PreparedOutput> outputs; // a deque: pieces are filled in while more are cut
    std::optional<Alert> afterCommit;   // raised once the outputs are committed (or not)
    bool cancelled = false;
    std::optional<bool> gzipRead; // the gzip switch as the preparation read it, if it did
};

// Runs the container-building work of one file's pieces, now or on another thread, and
// waits for all of it.
class PieceWork
{
public:
    virtual ~PieceWork() = default;
    virtual void submit(std::function<void()> task) = 0;
    virtual void waitForAll() = 0;
};

// What the preparation of one file may use. Every member may be called from any thread.
struct PreparationContext
{
    std::function<std::shared_ptr<const fs::Handle>(const QString& folderPath)> folder;
    std::function<bool()> gzipSwitch;
    const std::atomic<bool>* cancel = nullptr;
    // bytes read so far, the size at opening, pieces built so far
    std::function<void(qint64, qint64, qint64)> progress;
    // Outputs up to this many are held open unnamed; later ones get a hidden name.
    qint64 openOutputs = 64;
};

// What to do with a file: decide by its classification, or use one handler whatever it is.
enum class Handling
{
    Classify,
    Pack,
    ExtractGRP,
    ExtractPRG
};

// Converts the file at `path` into temporaries beside it. Reads the source once, through
// one descriptor, and never more than the size it had when opened; a source that changes
// meanwhile, or that cannot be read to that size, gives "Read" and no outputs.
PreparedFile prepareFile(const QString& path, Handling handling, const PreparationContext& context,
                         PieceWork& work);

} // namespace ptcdrop
