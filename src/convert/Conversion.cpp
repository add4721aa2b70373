// The drop batch: dispatch by resource tag, packing, extraction and every alert they raise.
#include "Conversion.h"

#include "Classification.h"
#include "ContainerBuilder.h"
#include "Extraction.h"
#include "Gzip.h"
#include "Naming.h"
#include "PathRules.h"
#include "PtcFormat.h"

#include <QFileInfo>

namespace ptcdrop {

Conversion::Conversion(AlertSink& alerts, GzipSwitch gzipSwitch)
    : m_alerts(alerts), m_gzipSwitch(std::move(gzipSwitch))
{
}

bool Conversion::isDirectory(const QStringList& files)
{
    return std::any_of(files.begin(), files.end(),
                       [](const QString& path) { return QFileInfo(path).isDir(); });
}

BatchSummary Conversion::convertDrop(const QStringList& files)
{
    if (isDirectory(files)) {
        m_summary = {};
        m_alerts.alert(Alert{QString::fromLatin1(keys::kDirectory), {}});
        m_summary.alertsShown = 1;
        return m_summary;
    }
    return writeToFiles(files);
}

BatchSummary Conversion::writeToFiles(const QStringList& files)
{
    m_summary = {};
    m_protected.clear();
    for (const QString& path : files) {
        if (const std::optional<FileIdentity> identity = identityOf(path))
            m_protected.append(*identity);
    }

    const qsizetype total = files.size();
    for (qsizetype done = 0; done < total; ++done) {
        if (cancelled()) {
            m_summary.cancelled = true;
            break;
        }
        const QString& path = files[done];
        report(BatchProgress::Step::FileStarted, done, total, path);
        const qsizetype outputsBefore = m_summary.outputsWritten;
        const qsizetype alertsBefore = m_summary.alertsShown;
        // A container whose tag is empty (zero bytes, or a file cut short before them) is
        // damaged, not plain: packing it would replace an intact container of its name.
        const std::optional<QString> tag = containerTagOf(path);
        if (!tag)
            writePTCFormatToFile(path);
        else if (*tag == QLatin1StringView(ptc::kTagGRP))
            writeTXTToFile(path);
        else if (*tag == QLatin1StringView(ptc::kTagPRG))
            writePRGTXTToFile(path);
        else
            alert(keys::kResource, *tag);
        if (m_summary.alertsShown == alertsBefore && m_summary.outputsWritten > outputsBefore)
            ++m_summary.filesConverted;
    }
    if (cancelled())
        m_summary.cancelled = true;
    report(BatchProgress::Step::Finished, total, total, QString());
    m_protected.clear();
    return m_summary;
}

void Conversion::report(BatchProgress::Step step, qsizetype index, qsizetype total,
                        const QString& path)
{
    if (!m_progress)
        return;
    BatchProgress progress;
    progress.step = step;
    progress.fileIndex = index;
    progress.fileCount = total;
    if (!path.isEmpty())
        progress.fileName = paths::lastComponent(path);
    m_progress(progress);
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
    const std::optional<QByteArray> source = readSource(path);
    if (!source)
        return;
    const QString directory = saveDirectory(path);

    QByteArray packed = *source;
    if (m_gzipSwitch() && !source->isEmpty()) {
        std::optional<QByteArray> compressed = gzippedData(*source);
        if (!compressed) {
            // Packing the uncompressed or an empty buffer instead would look like success.
            alert(keys::kSave, name(path, true) + QLatin1StringView(ptc::kContainerSuffix));
            return;
        }
        packed = std::move(*compressed);
    }

    const quint64 length = quint64(packed.size());
    const quint64 pieceSize = quint64(ptc::kPayloadSize);
    // floor(L / 49152) + 1 pieces: a length that is a multiple of the piece size (0 too)
    // ends with an empty piece.
    const quint64 lastIndex = length / pieceSize;
    const bool multiPiece = lastIndex > 0;
    const QString baseName = name(path, !multiPiece);
    for (quint64 index = 0; index <= lastIndex; ++index) {
        const QString piece = pieceName(baseName, index, multiPiece);
        const quint64 offset = index * pieceSize;
        const QByteArrayView payload(packed.constData() + offset,
                                     qsizetype(std::min(pieceSize, length - offset)));
        writeOutput(directory, piece + QLatin1StringView(ptc::kContainerSuffix),
                    convertDataToPTC(payload, piece.toUtf8()));
    }
}

void Conversion::writeTXTToFile(const QString& path)
{
    extract(path, false);
}

void Conversion::writePRGTXTToFile(const QString& path)
{
    extract(path, true);
}

void Conversion::extract(const QString& path, bool program)
{
    const std::optional<QByteArray> container = readSource(path);
    if (!container)
        return;
    const Extracted extracted =
        program ? extractPRG(*container) : extractGRP(*container, m_gzipSwitch());
    if (!extracted.content) {
        alert(keys::kUnzip, paths::lastComponent(path));
        return;
    }
    writeOutput(saveDirectory(path), extracted.fileName, *extracted.content);
    // What decoded is complete and checked, so it is kept; that the payload held more than
    // it is said, since those bytes may be data the user expected to get.
    if (extracted.trailingBytes)
        alert(keys::kTrailing, paths::lastComponent(path));
}

std::optional<QByteArray> Conversion::readSource(const QString& path)
{
    std::optional<QByteArray> bytes = readRegularFile(path);
    if (!bytes)
        alert(keys::kRead, paths::lastComponent(path));
    return bytes;
}

void Conversion::writeOutput(const QString& directory, const QString& fileName,
                             const QByteArray& bytes)
{
    const QString target = paths::join(directory, fileName);
    const std::optional<FileIdentity> existing = identityOf(target);
    // A dropped file is never replaced by an output of the same batch, whatever the
    // spelling or the disk's case rules make its name.
    const bool replacesSource = existing && m_protected.contains(*existing);
    if (replacesSource || !writeAtomically(target, bytes))
        alert(keys::kSave, fileName);
    else
        ++m_summary.outputsWritten;
}

void Conversion::alert(const char* key, const QString& argument)
{
    ++m_summary.alertsShown;
    m_alerts.alert(Alert{QString::fromLatin1(key), argument});
}

} // namespace ptcdrop
