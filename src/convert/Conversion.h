// One drop batch: classifies each path and packs or extracts it beside its source.
#pragma once

#include "Alert.h"
#include "FileAccess.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace ptcdrop {

// The conversion both front ends drive. It holds no state between batches; every outcome
// the user must know of goes to the alert sink, and a failed file never stops the batch.
class Conversion
{
public:
    // Read each time a file is handled, exactly when that file needs it.
    using GzipSwitch = std::function<bool()>;
    // Called before each file with the number of files done and the batch's size, and once
    // more when the batch is complete (done == total).
    using Progress = std::function<void(qsizetype done, qsizetype total)>;

    Conversion(AlertSink& alerts, GzipSwitch gzipSwitch);

    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // True when some path names an existing folder (links followed).
    static bool isDirectory(const QStringList& files);
    // Converts every path in order. The folder test is the caller's (a drop with a folder
    // is refused as a whole before this is called).
    void writeToFiles(const QStringList& files);

    // The resource tag: empty for a plain file, else the container's tag.
    QString checkPTC(const QString& path) const;
    // The folder that receives every output of `path`.
    static QString saveDirectory(const QString& path);

    // The three handlers: a plain file, a "GRP" and a "PRG" container.
    void writePTCFormatToFile(const QString& path);
    void writeTXTToFile(const QString& path);
    void writePRGTXTToFile(const QString& path);

private:
    void alert(const char* key, const QString& argument);
    // Writes one output unless it would replace a file of the batch; alerts "Save" on failure.
    void writeOutput(const QString& directory, const QString& fileName, const QByteArray& bytes);
    std::optional<QByteArray> readSource(const QString& path);
    void extract(const QString& path, bool program);

    AlertSink& m_alerts;
    GzipSwitch m_gzipSwitch;
    Progress m_progress;
    // The files of the batch being converted; no output may replace one of them.
    QList<FileIdentity> m_protected;
};

} // namespace ptcdrop
