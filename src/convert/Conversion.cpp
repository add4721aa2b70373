// SPDX-License-Identifier: MIT
// The drop batch: the folder refusal, the batch's files and the three handlers, on the engine.
#include "Conversion.h"

#include "BatchEngine.h"
#include "Classification.h"
#include "FileAccess.h"
#include "PathRules.h"
#include "PtcFormat.h"
#include "SeriesJoin.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace ptcdrop {

Conversion::Conversion(AlertSink& alerts, GzipSwitch gzipSwitch)
    : m_alerts(alerts), m_gzipSwitch(std::move(gzipSwitch))
{
}

bool Conversion::isDirectory(const QStringList& files)
{
    return std::any_of(files.begin(), files.end(), [](const QString& path) {
        const std::optional<fs::PathInfo> info = fs::pathInfo(path);
        return info && info->isDirectory;
    });
}

namespace {

// One look at each path, by as many threads as the batch has jobs: with thousands of small
// files, these looks are a tenth of the work, and all of it comes before the first file.
QList<std::optional<fs::PathInfo>> lookAt(const QStringList& files, int jobs)
{
    QList<std::optional<fs::PathInfo>> infos(files.size());
    constexpr qsizetype kPerThread = 1024; // below this, a thread costs more than it saves
    const qsizetype threads = std::clamp<qsizetype>(files.size() / kPerThread, 1, jobs);
    const auto lookAtShare = [&](qsizetype share) {
        for (qsizetype i = share; i < files.size(); i += threads)
            infos[i] = fs::pathInfo(files[i]);
    };
    std::vector<std::thread> helpers;
    for (qsizetype share = 1; share < threads; ++share)
        helpers.emplace_back(lookAtShare, share);
    lookAtShare(0);
    for (std::thread& helper : helpers)
        helper.join();
    return infos;
}

} // namespace

BatchSummary Conversion::convertDrop(const QStringList& files)
{
    // One look at each path serves both the folder test and the batch's list of files
    // that no output may replace.
    const QList<std::optional<fs::PathInfo>> infos = lookAt(files, m_jobs);
    const bool folder = std::any_of(infos.begin(), infos.end(), [](const auto& info) {
        return info && info->isDirectory;
    });
    if (folder) {
        m_alerts.alert(Alert{QString::fromLatin1(keys::kDirectory), {}});
        BatchSummary summary;
        summary.alertsShown = 1;
        return summary;
    }
    return run(files, infos);
}

BatchSummary Conversion::writeToFiles(const QStringList& files)
{
    return run(files, lookAt(files, m_jobs));
}

BatchSummary Conversion::run(const QStringList& files,
                             const QList<std::optional<fs::PathInfo>>& known)
{
    QList<BatchFile> batch;
    batch.reserve(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        BatchFile& file = batch.emplaceBack(BatchFile{files[i], Handling::Classify, {}});
        if (known[i]) {
            file.identity = known[i]->identity;
            file.size = known[i]->size;
        }
    }
    return runBatch(batch, BatchSettings{m_alerts, m_gzipSwitch, m_progress, m_cancel, m_jobs});
}

BatchSummary Conversion::joinSeries(const QStringList& pieces)
{
    return ptcdrop::joinSeries(pieces, JoinSettings{m_alerts, m_gzipSwitch, m_progress, m_cancel});
}

QString Conversion::checkPTC(const QString& path) const
{
    return containerTagOf(path).value_or(QString());
}

std::optional<QString> Conversion::containerTagOf(const QString& path) const
{
    // Only the header decides; a file that cannot be read has no signature.
    const QByteArray head = readRegularFileHead(path, ptc::kHeaderSize).value_or(QByteArray());
    return containerTag(path, head);
}

QString Conversion::saveDirectory(const QString& path)
{
    return paths::removeLastComponent(path);
}

void Conversion::writePTCFormatToFile(const QString& path)
{
    handle(path, int(Handling::Pack));
}

void Conversion::writeTXTToFile(const QString& path)
{
    handle(path, int(Handling::ExtractGRP));
}

void Conversion::writePRGTXTToFile(const QString& path)
{
    handle(path, int(Handling::ExtractPRG));
}

void Conversion::handle(const QString& path, int handling)
{
    // Called alone, a handler protects no file: there is no batch around it.
    const Progress none;
    runBatch({BatchFile{path, Handling(handling), std::nullopt}},
             BatchSettings{m_alerts, m_gzipSwitch, none, m_cancel, 1});
}

} // namespace ptcdrop
