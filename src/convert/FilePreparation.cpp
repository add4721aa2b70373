// SPDX-License-Identifier: MIT
// One file's way from its source to its temporaries: a streaming read, deflate, cut, build.
#include "FilePreparation.h"

#include "Classification.h"
#include "ContainerBuilder.h"
#include "Deflater.h"
#include "Extraction.h"
#include "Naming.h"
#include "Packing.h"
#include "PathRules.h"
#include "PtcFormat.h"

#include <QFile>

#include <atomic>
#include <memory>
#include <new>

namespace ptcdrop {
namespace {

// Plain files are read in slices of this size: large enough that system calls cost little,
// small enough that memory stays bounded whatever the file's size.
constexpr qint64 kChunk = qint64(1) << 20;
// Extraction never looks beyond the program text's end: offset 60 plus the largest payload
// length a 16-bit data size field can promise.
constexpr qint64 kContainerReach = ptc::kProgramTextOffset + 0xFFFF;

Alert alertOf(const char* key, const QString& argument)
{
    return Alert{QString::fromLatin1(key), argument};
}

// Reads a source up to the size it had when opened, and tells whether it stayed so.
class SourceReader
{
public:
    explicit SourceReader(const fs::Source& source) : m_source(source) {}

    qint64 done() const { return m_done; }
    bool atEnd() const { return m_done == m_source.size; }
    bool failed() const { return m_failed; }

    // Up to `length` more bytes, fewer only at the size's end; sets failed() when the file
    // ended early, grew, or could not be read. The bytes go into `reuse`'s memory when it
    // is large enough: a buffer allocated afresh for each slice costs more than the read.
    QByteArray read(qint64 length, QByteArray reuse = QByteArray())
    {
        const qint64 want = std::min(length, m_source.size - m_done);
        // A file read whole by one call is asked for one byte more: when none comes, the
        // file did not grow, and no second look at its size is needed.
        const bool probe = m_done == 0 && want == m_source.size;
        QByteArray bytes = std::move(reuse);
        try {
            bytes.resize(qsizetype(want + (probe ? 1 : 0)));
        } catch (const std::bad_alloc&) {
            m_failed = true;
            return {};
        }
        qint64 got = 0;
        int calls = 0;
        do {
            const qint64 step = fs::readSome(m_source, bytes.data() + got, bytes.size() - got);
            ++calls;
            if (step < 0 || (step == 0 && got < want)) {
                m_failed = true; // an I/O error, or the file is shorter than it was
                return {};
            }
            if (step == 0)
                break;
            got += step;
        } while (got < want);
        if (got > want) {
            m_failed = true; // more than the size at opening: it grew
            return {};
        }
        m_checked = probe && calls == 1;
        bytes.truncate(qsizetype(got));
        m_done += got;
        return bytes;
    }

    // True when every byte up to the size at opening was read and the file did not change.
    bool intact() const
    {
        if (m_failed || !atEnd())
            return false;
        return m_checked || fs::unchanged(m_source);
    }

private:
    const fs::Source& m_source;
    qint64 m_done = 0;
    bool m_failed = false;
    bool m_checked = false;
};

bool isCancelled(const PreparationContext& context)
{
    return context.cancel && context.cancel->load(std::memory_order_relaxed);
}

PreparedFile failed(PreparedFile file, PieceWork& work, Alert alert)
{
    work.waitForAll();
    file.outputs.clear();
    file.alert = std::move(alert);
    return file;
}

PreparedFile cancelled(PreparedFile file, PieceWork& work)
{
    work.waitForAll();
    file.outputs.clear();
    file.cancelled = true;
    return file;
}

// Builds and writes one output in the calling thread.
void writeOutput(PreparedFile& file, const QString& fileName, QByteArrayView bytes)
{
    PreparedOutput& output = file.outputs.emplace_back(PreparedOutput{fileName, std::nullopt});
    std::optional<fs::Temporary> temporary = fs::createTemporary(*file.folder, false);
    if (temporary && fs::writeAll(*temporary, bytes) && fs::finishWriting(*temporary, true))
        output.temporary = std::move(temporary);
}

// The rest of an unpacked source from `offset`, a piece boundary: every piece is cut
// unread and reads its own bytes. The file is whole when every piece got all its bytes and
// the size and modification time are still those of the opening.
enum class PositionalEnd
{
    Whole,
    Cancelled,
    ReadFailed
};

template <typename Build>
PositionalEnd packByPosition(qint64 offset, const fs::Source& source, PieceCutter& cutter,
                             const Build& build, bool& lastPiece,
                             const std::atomic<bool>& readFailed, const PreparationContext& context,
                             PieceWork& work)
{
    for (;;) {
        const auto length = qsizetype(std::min<qint64>(ptc::kPayloadSize, source.size - offset));
        lastPiece = length < ptc::kPayloadSize;
        build(cutter.cutUnread(length), offset, length);
        offset += length;
        if (context.progress)
            context.progress(offset, source.size, qint64(cutter.piecesCut()));
        if (lastPiece)
            break;
        if (isCancelled(context)) {
            work.waitForAll();
            return PositionalEnd::Cancelled;
        }
        if (readFailed.load(std::memory_order_relaxed))
            break;
    }
    work.waitForAll();
    return readFailed.load(std::memory_order_relaxed) || !fs::unchanged(source)
               ? PositionalEnd::ReadFailed
               : PositionalEnd::Whole;
}

PreparedFile pack(PreparedFile file, const QString& path, QByteArray chunk, SourceReader& reader,
                  const fs::Source& source, const PreparationContext& context, PieceWork& work)
{
    const QString fileName = paths::lastComponent(path);
    const bool gzip = context.gzipSwitch();
    std::optional<Deflater> deflater;
    QByteArray packed;
    PieceCutter cutter(path);
    const std::shared_ptr<const fs::Handle> folder = file.folder;
    const qint64 openOutputs = context.openOutputs;
    bool lastPiece = false;
    // Set by a piece that reads its own bytes and finds the file shorter than it was. Like
    // the source, it outlives every piece's work: each way out of here waits for all of it.
    std::atomic<bool> readFailed{false};
    // A piece's payload is either cut already or, with `at` set, read by the piece's own
    // work from that offset of the source.
    const auto build = [&](Piece&& piece, std::optional<qint64> at, qsizetype length) {
        PreparedOutput* output = &file.outputs.emplace_back(PreparedOutput{piece.fileName, {}});
        const bool keepOpen = qint64(piece.index) < openOutputs;
        auto task = [output, folder, keepOpen, piece = std::move(piece), at, length, &source,
                     &readFailed]() mutable {
            if (at) {
                piece.payload = payloadBuffer(length);
                piece.payload.resize(length);
                if (fs::readAt(source, piece.payload.data(), length, *at) != length) {
                    readFailed.store(true, std::memory_order_relaxed);
                    return;
                }
            }
            const QByteArray container =
                convertDataToPTCInPlace(std::move(piece.payload), piece.pieceName.toUtf8());
            std::optional<fs::Temporary> temporary = fs::createTemporary(*folder, false);
            if (temporary && fs::writeAll(*temporary, container) &&
                fs::finishWriting(*temporary, keepOpen))
                output->temporary = std::move(temporary);
        };
        // The last piece is built here: this thread would only wait for it otherwise.
        if (lastPiece)
            task();
        else
            work.submit(std::move(task));
    };
    const PieceCutter::Emit toPool = [&](Piece&& piece) { build(std::move(piece), {}, 0); };
    // Packing an uncompressed or an empty stream instead would look like success.
    const Alert compressionFailed =
        alertOf(keys::kSave, name(path, true) + QLatin1StringView(ptc::kContainerSuffix));

    for (;;) {
        if (!chunk.isEmpty()) {
            if (gzip) {
                // An empty source packs as an empty stream, never as an empty gzip member.
                if (!deflater)
                    deflater.emplace();
                packed.resize(0);
                if (!deflater->append(chunk, packed))
                    return failed(std::move(file), work, compressionFailed);
                cutter.append(packed, toPool);
            } else {
                cutter.append(std::move(chunk), toPool);
            }
        }
        if (context.progress)
            context.progress(reader.done(), source.size, qint64(cutter.piecesCut()));
        if (reader.atEnd())
            break;
        if (isCancelled(context))
            return cancelled(std::move(file), work);
        // Unpacked, the source is cut as it is, so each piece's place in it is known: once
        // the pieces are whole, each one reads its own bytes where its container is built,
        // on whichever thread builds it, and reading is shared as building is.
        if (!gzip && cutter.room() == ptc::kPayloadSize) {
            switch (packByPosition(reader.done(), source, cutter, build, lastPiece, readFailed,
                                   context, work)) {
            case PositionalEnd::Whole:
                return file;
            case PositionalEnd::Cancelled:
                return cancelled(std::move(file), work);
            case PositionalEnd::ReadFailed:
                return failed(std::move(file), work, alertOf(keys::kRead, fileName));
            }
        }
        // Unpacked, read up to the next whole piece: each slice becomes a payload as it
        // stands, with no copy through a larger buffer.
        chunk = gzip ? reader.read(kChunk, std::move(chunk))
                     : reader.read(cutter.room(), payloadBuffer(cutter.room()));
        if (reader.failed())
            return failed(std::move(file), work, alertOf(keys::kRead, fileName));
    }
    if (!reader.intact())
        return failed(std::move(file), work, alertOf(keys::kRead, fileName));
    if (deflater) {
        packed.resize(0);
        if (!deflater->finish(packed))
            return failed(std::move(file), work, compressionFailed);
        cutter.append(packed, toPool);
    }
    lastPiece = true;
    cutter.finish(toPool);
    work.waitForAll();
    if (context.progress)
        context.progress(reader.done(), source.size, qint64(cutter.piecesCut()));
    return file;
}

} // namespace

PreparedFile prepareFile(const QString& path, Handling handling, const PreparationContext& context,
                         PieceWork& work)
{
    PreparedFile file;
    const QString fileName = paths::lastComponent(path);
    if (isCancelled(context)) {
        file.cancelled = true;
        return file;
    }
    file.folder = context.folder(paths::removeLastComponent(path));
    if (!file.folder)
        return failed(std::move(file), work, alertOf(keys::kRead, fileName));
    const std::optional<fs::Source> source =
        fs::openSource(*file.folder, QFile::encodeName(fileName));
    if (!source)
        return failed(std::move(file), work, alertOf(keys::kRead, fileName));

    SourceReader reader(*source);
    // A container is needed only as far as extraction can reach; a plain file goes on.
    const bool maybeContainer =
        handling == Handling::Classify ? hasContainerExtension(path) : handling != Handling::Pack;
    QByteArray head = reader.read(maybeContainer ? kContainerReach : kChunk);
    if (reader.failed())
        return failed(std::move(file), work, alertOf(keys::kRead, fileName));

    // A container whose tag is empty (zero bytes, or a file cut short before them) is
    // damaged, not plain: packing it would replace an intact container of its name.
    std::optional<QString> tag;
    if (handling == Handling::ExtractGRP)
        tag = QLatin1StringView(ptc::kTagGRP);
    else if (handling == Handling::ExtractPRG)
        tag = QLatin1StringView(ptc::kTagPRG);
    else if (handling == Handling::Classify && maybeContainer)
        tag = containerTag(path, head);
    if (!tag)
        return pack(std::move(file), path, std::move(head), reader, *source, context, work);

    const bool program = *tag == QLatin1StringView(ptc::kTagPRG);
    if (!program && *tag != QLatin1StringView(ptc::kTagGRP))
        return failed(std::move(file), work, alertOf(keys::kResource, *tag));
    // Bytes past the reach may change freely; those read must be the file's own.
    if (reader.atEnd() ? !reader.intact() : !fs::unchanged(*source))
        return failed(std::move(file), work, alertOf(keys::kRead, fileName));
    if (context.progress)
        context.progress(reader.done(), source->size, 0);
    const Extracted extracted = program ? extractPRG(head) : extractGRP(head, context.gzipSwitch());
    if (!extracted.content)
        return failed(std::move(file), work, alertOf(keys::kUnzip, fileName));
    writeOutput(file, extracted.fileName, *extracted.content);
    // What decoded is complete and checked, so it is kept; that the payload held more than
    // it is said, since those bytes may be data the user expected to get.
    if (extracted.trailingBytes)
        file.afterCommit = alertOf(keys::kTrailing, fileName);
    return file;
}

} // namespace ptcdrop
