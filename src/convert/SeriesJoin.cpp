// SPDX-License-Identifier: MIT
// The join: finds a piece's series in its folder, streams the payloads (gunzipped or not)
// into one temporary, and commits it only when every piece was sound.
#include "SeriesJoin.h"

#include "Classification.h"
#include "FileSystem.h"
#include "GunzipStream.h"
#include "PathRules.h"
#include "PtcFormat.h"
#include "SeriesName.h"

#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>

namespace ptcdrop {
namespace {

// A "GRP" payload ends at 48 + data size - 12; a 16-bit data size cannot promise more.
constexpr qint64 kPieceReach = ptc::kHeaderSize + 0xFFFF - ptc::kDataSizeOverhead;

Alert alertOf(const char* key, const QString& argument)
{
    return Alert{QString::fromLatin1(key), argument};
}

bool allZero(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; });
}

// Reads the part of a piece the payload can reach; no result when the file is shorter than
// it was at opening or cannot be read.
std::optional<QByteArray> readPiece(const fs::Source& source)
{
    const qint64 want = std::min(source.size, kPieceReach);
    QByteArray bytes(qsizetype(want), Qt::Uninitialized);
    qint64 got = 0;
    while (got < want) {
        const qint64 step = fs::readSome(source, bytes.data() + got, want - got);
        if (step <= 0)
            return std::nullopt;
        got += step;
    }
    return bytes;
}

// The payload as the unpacking takes it: data size - 12 bytes from offset 48, cut at the
// end of what was read.
QByteArrayView payloadOf(const QByteArray& bytes)
{
    const quint64 length = ptc::payloadLength(ptc::readContainerFields(bytes).dataSize);
    const qsizetype size = bytes.size();
    if (size <= ptc::kHeaderSize)
        return {};
    return QByteArrayView(bytes).sliced(
        ptc::kHeaderSize, qsizetype(std::min<quint64>(length, quint64(size - ptc::kHeaderSize))));
}

// One series as found in its folder. Pieces are named BASE_index.ext with the given
// piece's ending; only the names spelt otherwise are kept, so that a series of any length
// costs no memory for its names.
struct SeriesLayout
{
    SeriesName name;
    QHash<quint64, QString> otherSpelling;
    quint64 highest = 0; // the highest index known to exist (the given piece's at least)
    bool single = false; // a series of one: the given piece alone
    QString singleName;

    QString pieceName(quint64 index) const
    {
        if (single)
            return singleName;
        return otherSpelling.value(index, seriesPieceFileName(name, index));
    }
};

// The listing of the folder, for the indices that exist beside the given piece; the number
// of other pieces seen goes to `others`.
SeriesLayout listSeries(const fs::Handle& folder, const QString& fileName, const SeriesName& given,
                        qint64& others)
{
    SeriesLayout layout{given, {}, *given.index, false, {}};
    if (fileName != seriesPieceFileName(given, *given.index))
        layout.otherSpelling.insert(*given.index, fileName);
    // Without a listing the pieces are still found by name; only a gap after the last
    // piece that opens would go unnoticed.
    fs::forEachEntry(folder, [&](const QByteArray& entry) {
        const QString name = QFile::decodeName(entry);
        const std::optional<SeriesName> piece = seriesNameOf(name);
        if (!piece || !piece->index || piece->baseName != given.baseName ||
            *piece->index == *given.index)
            return;
        ++others;
        layout.highest = std::max(layout.highest, *piece->index);
        // Two spellings of one index: the given piece's own ending wins.
        if (piece->extension != given.extension &&
            !fs::identityAt(folder, QFile::encodeName(seriesPieceFileName(given, *piece->index))))
            layout.otherSpelling.insert(*piece->index, name);
    });
    return layout;
}

// The pieces in index order. A name without an index is a series of one; so is a piece
// with an index that is alone in its folder without a piece 0 ("x_1.txt" packs into the
// single container X_1.ptc).
SeriesLayout findSeries(const fs::Handle& folder, const QString& fileName, const SeriesName& given)
{
    SeriesLayout single{given, {}, 0, true, fileName};
    if (!given.index)
        return single;
    qint64 others = 0;
    SeriesLayout series = listSeries(folder, fileName, given, others);
    const bool alone = others == 0 && *given.index != 0 &&
                       !fs::identityAt(folder, QFile::encodeName(seriesPieceFileName(given, 0)));
    if (!alone)
        return series;
    single.name.baseName = paths::stem(fileName);
    single.name.index.reset();
    return single;
}

class Joiner
{
public:
    Joiner(const QStringList& pieces, const JoinSettings& settings)
        : m_pieces(pieces), m_settings(settings)
    {
        for (const QString& path : pieces) {
            if (const std::optional<fs::PathInfo> info = fs::pathInfo(path))
                m_protected.insert(info->identity);
        }
    }

    BatchSummary run();

private:
    enum class Outcome
    {
        Joined,
        Skipped, // its series was joined (or refused) for an earlier entry
        Failed,
        Cancelled
    };

    Outcome join(qsizetype index);
    Outcome fail(const Alert& alert)
    {
        ++m_summary.alertsShown;
        m_settings.alerts.alert(alert);
        return Outcome::Failed;
    }
    bool cancelled() const
    {
        return m_settings.cancel && m_settings.cancel->load(std::memory_order_relaxed);
    }
    void report(BatchProgress::Step step, qsizetype index, qint64 done = 0, qint64 total = 0,
                qint64 pieces = 0) const;

    const QStringList& m_pieces;
    const JoinSettings& m_settings;
    BatchSummary m_summary;
    // Files named by the call, every piece read and every output written: never replaced.
    QSet<fs::FileIdentity> m_protected;
    QSet<QString> m_seriesDone;
};

BatchSummary Joiner::run()
{
    for (qsizetype index = 0; index < m_pieces.size(); ++index) {
        if (cancelled()) {
            m_summary.cancelled = true;
            break;
        }
        report(BatchProgress::Step::FileStarted, index);
        const Outcome outcome = join(index);
        if (outcome == Outcome::Cancelled) {
            m_summary.cancelled = true;
            break;
        }
        if (outcome == Outcome::Joined) {
            ++m_summary.filesConverted;
            ++m_summary.outputsWritten;
        }
    }
    report(BatchProgress::Step::Finished, m_pieces.size());
    return m_summary;
}

Joiner::Outcome Joiner::join(qsizetype index)
{
    const QString& path = m_pieces[index];
    const QString fileName = paths::lastComponent(path);
    const std::optional<SeriesName> given = seriesNameOf(fileName);
    if (!given)
        return fail(alertOf(keys::kJoinKind, fileName));
    const std::optional<fs::Handle> folder = fs::openFolder(paths::removeLastComponent(path));
    if (!folder)
        return fail(alertOf(keys::kRead, fileName));

    const SeriesLayout series = findSeries(*folder, fileName, *given);

    const std::optional<fs::FileIdentity> folderIdentity = fs::identityAt(*folder, ".");
    // NOTES.ptc alone and the series NOTES_0.ptc, ... are two (whose outputs collide).
    const QString seriesKey = folderIdentity ? QStringLiteral("%1:%2/%3/")
                                                       .arg(folderIdentity->device)
                                                       .arg(folderIdentity->inode)
                                                       .arg(series.name.index ? u'n' : u'1') +
                                                   series.name.baseName
                                             : path;
    if (m_seriesDone.contains(seriesKey))
        return Outcome::Skipped;
    m_seriesDone.insert(seriesKey);

    const bool gzip = m_settings.gzipSwitch();
    const QString outputName = joinedFileName(series.name.baseName, gzip);
    std::optional<fs::Temporary> temporary = fs::createTemporary(*folder, false);
    if (!temporary)
        return fail(alertOf(keys::kSave, outputName));

    bool writeFailed = false;
    const auto write = [&](QByteArrayView bytes) {
        writeFailed = writeFailed || !fs::writeAll(*temporary, bytes);
        return !writeFailed;
    };
    std::optional<GunzipStream> stream;
    QSet<fs::FileIdentity> seriesFiles;
    const qint64 expected = qint64(series.highest) + 1;
    qint64 bytesDone = 0;
    QString lastPiece;
    quint64 count = 0;
    for (;; ++count) {
        if (cancelled())
            return Outcome::Cancelled; // the temporary goes with it
        if (series.single && count > 0)
            break;
        const QString pieceName = series.pieceName(count);
        const QByteArray nativeName = QFile::encodeName(pieceName);
        const std::optional<fs::Source> source = fs::openSource(*folder, nativeName);
        if (!source) {
            if (count > series.highest && !fs::inspectTarget(*folder, nativeName).exists)
                break; // the series ends here
            // A gap, or a piece that is there but cannot be read.
            return fail(alertOf(fs::inspectTarget(*folder, nativeName).exists ? keys::kRead
                                                                              : keys::kJoinMissing,
                                pieceName));
        }
        const std::optional<QByteArray> bytes = readPiece(*source);
        if (!bytes)
            return fail(alertOf(keys::kRead, pieceName));
        if (resourceTag(pieceName, *bytes) != QLatin1StringView(ptc::kTagGRP))
            return fail(alertOf(keys::kJoinKind, pieceName));
        seriesFiles.insert(source->identity);
        lastPiece = pieceName;

        const QByteArrayView payload = payloadOf(*bytes);
        if (!gzip) {
            if (!write(payload))
                return fail(alertOf(keys::kSave, outputName));
        } else if (stream || !allZero(payload)) {
            // The stream starts with the first piece; a series that is zero fill
            // throughout is how an empty file packs.
            if (!stream) {
                if (count != 0)
                    return fail(alertOf(keys::kJoinDamaged, pieceName));
                stream.emplace(write);
            }
            if (!stream->feed(payload))
                return fail(alertOf(writeFailed ? keys::kSave : keys::kJoinDamaged,
                                    writeFailed ? outputName : pieceName));
            // Bytes after the stream's end other than zero fill: this piece does not
            // belong to the stream (a piece left from an older, longer series).
            if (stream->trailingBytes())
                return fail(alertOf(keys::kJoinDamaged, pieceName));
        }
        bytesDone += source->size;
        report(BatchProgress::Step::WithinFile, index, bytesDone,
               std::max(expected, qint64(count) + 1) * ptc::kContainerSize, qint64(count) + 1);
    }

    if (stream) {
        if (!stream->finish()) {
            if (writeFailed)
                return fail(alertOf(keys::kSave, outputName));
            // The series stops before its stream ends: the next piece is missing.
            return fail(series.name.index
                            ? alertOf(keys::kJoinMissing, seriesPieceFileName(series.name, count))
                            : alertOf(keys::kJoinDamaged, lastPiece));
        }
        if (stream->trailingBytes())
            return fail(alertOf(keys::kJoinDamaged, lastPiece));
    }
    if (!fs::finishWriting(*temporary, true))
        return fail(alertOf(keys::kSave, outputName));

    const QByteArray nativeOutput = QFile::encodeName(outputName);
    const fs::Target target = fs::inspectTarget(*folder, nativeOutput);
    // A link or a second name of a piece, or of a file of the call, is never replaced.
    if (target.identity &&
        (seriesFiles.contains(*target.identity) || m_protected.contains(*target.identity)))
        return fail(alertOf(keys::kSave, outputName));
    {
        const fs::InterruptHold hold;
        if (fs::commit(*temporary, *folder, nativeOutput, target) != fs::CommitResult::Committed)
            return fail(alertOf(keys::kSave, outputName));
    }
    m_protected.unite(seriesFiles);
    if (const std::optional<fs::FileIdentity> written = fs::identityAt(*folder, nativeOutput))
        m_protected.insert(*written);
    return Outcome::Joined;
}

void Joiner::report(BatchProgress::Step step, qsizetype index, qint64 done, qint64 total,
                    qint64 pieces) const
{
    if (!m_settings.progress)
        return;
    const QString name = index < m_pieces.size() ? paths::lastComponent(m_pieces[index]) : QString();
    m_settings.progress(BatchProgress{step, index, m_pieces.size(), name, done, total, pieces});
}

} // namespace

std::optional<SeriesName> seriesOfPiece(const QString& path)
{
    const QString fileName = paths::lastComponent(path);
    const std::optional<SeriesName> given = seriesNameOf(fileName);
    if (!given)
        return std::nullopt;
    const std::optional<fs::Handle> folder = fs::openFolder(paths::removeLastComponent(path));
    if (!folder)
        return given;
    return findSeries(*folder, fileName, *given).name;
}

BatchSummary joinSeries(const QStringList& pieces, const JoinSettings& settings)
{
    Joiner joiner(pieces, settings);
    return joiner.run();
}

} // namespace ptcdrop
