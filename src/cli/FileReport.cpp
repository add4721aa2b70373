// SPDX-License-Identifier: MIT
// File inspection: the classification and the field reads of the conversion, without writing.
#include "FileReport.h"

#include "Classification.h"
#include "ContainerBuilder.h"
#include "FileAccess.h"
#include "PathBytes.h"
#include "PtcFormat.h"
#include "SeriesJoin.h"

#include <QFileInfo>
#include <QJsonValue>

#include <algorithm>

namespace ptcdrop {
namespace {

QString unreadableReason(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (info.isDir())
        return QStringLiteral("it is a folder");
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    return QStringLiteral("read error");
}

// A path may hold any character but "/" and NUL; control characters would break the lines.
QString escapedPath(const QString& path)
{
    QString shown;
    shown.reserve(path.size());
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString quoted(const QByteArray& bytes)
{
    return QLatin1Char('"') + escapedBytes(bytes) + QLatin1Char('"');
}

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// The range the extraction takes: `length` bytes from `offset`, cut at the file's end.
quint64 boundedLength(quint64 fileLength, quint64 offset, quint64 length)
{
    return offset >= fileLength ? 0 : std::min(length, fileLength - offset);
}

} // namespace

bool Inspection::isFault() const
{
    return kind == Kind::Unreadable || (kind == Kind::Container && !digestMatches);
}

Inspection inspectFile(const QString& path, const QString& shownPath)
{
    Inspection result;
    result.path = shownPath;

    // The conversion decides from the header alone; a plain file is not read further, so
    // inspecting a large plain file costs no more than its first bytes.
    const std::optional<QByteArray> head = readRegularFileHead(path, ptc::kHeaderSize);
    if (!head) {
        result.problem = unreadableReason(path);
        return result;
    }
    const std::optional<QString> tag = containerTag(path, *head);
    if (!tag) {
        result.kind = Inspection::Kind::Plain;
        if (!hasContainerExtension(path))
            result.problem = QStringLiteral("the name does not end in .ptc");
        else
            result.problem =
                QStringLiteral("no \"%1\" signature").arg(QLatin1StringView(ptc::kSignature));
        result.fileLength = quint64(std::max<qint64>(QFileInfo(path).size(), head->size()));
        return result;
    }

    const std::optional<QByteArray> bytes = readRegularFile(path);
    if (!bytes) {
        result.problem = unreadableReason(path);
        return result;
    }
    result.kind = Inspection::Kind::Container;
    result.fileLength = quint64(bytes->size());

    const ptc::ContainerFields fields = ptc::readContainerFields(*bytes);
    result.signature = fields.signature;
    result.tag = fields.tag;
    result.name = fields.name;
    result.dataSize = fields.dataSize;
    result.fixedByte = fields.fixedByte;

    if (*tag == QLatin1StringView(ptc::kTagGRP)) {
        result.payloadOffset = quint64(ptc::kHeaderSize);
        result.series = seriesOfPiece(path);
    } else if (*tag == QLatin1StringView(ptc::kTagPRG))
        result.payloadOffset = quint64(ptc::kProgramTextOffset);
    if (result.payloadOffset)
        result.payloadLength = boundedLength(result.fileLength, *result.payloadOffset,
                                             ptc::payloadLength(fields.dataSize));

    result.storedDigest = bytes->mid(ptc::kDigestOffset, ptc::kDigestLength);
    result.computedDigest = containerDigest(*bytes);
    result.digestMatches = result.storedDigest == result.computedDigest;
    return result;
}

Inspection inspectUnnamable(const QByteArray& nameBytes)
{
    Inspection result;
    result.path = readableBytes(nameBytes);
    result.problem = QStringLiteral("the name is not valid UTF-8");
    return result;
}

QString escapedBytes(const QByteArray& bytes)
{
    QString shown;
    shown.reserve(bytes.size());
    for (const char byte : bytes) {
        const uchar value = uchar(byte);
        if (value == '\\' || value == '"') {
            shown += QLatin1Char('\\');
            shown += QLatin1Char(byte);
        } else if (value >= 0x20 && value < 0x7f) {
            shown += QLatin1Char(byte);
        } else {
            shown += QStringLiteral("\\x%1").arg(uint(value), 2, 16, QLatin1Char('0'));
        }
    }
    return shown;
}

QString inspectionText(const Inspection& inspection)
{
    // One arg() call per text: a path holding "%5" must not be taken for a placeholder.
    const QString path = escapedPath(inspection.path);
    switch (inspection.kind) {
    case Inspection::Kind::Unreadable:
        return QStringLiteral("%1: cannot be read (%2)\n").arg(path, inspection.problem);
    case Inspection::Kind::Plain:
        return QStringLiteral("%1: plain file (%2)\n"
                              "  file length:  %3 bytes\n")
            .arg(path, inspection.problem, QString::number(inspection.fileLength));
    case Inspection::Kind::Container:
        break;
    }

    const QString payload = inspection.payloadOffset
                                ? QStringLiteral("%1 bytes from offset %2")
                                      .arg(inspection.payloadLength)
                                      .arg(*inspection.payloadOffset)
                                : QStringLiteral("not extracted (unknown resource tag)");
    const QString digest =
        inspection.digestMatches
            ? QStringLiteral("matches")
            : QStringLiteral("does not match (stored %1, computed %2)")
                  .arg(hex(inspection.storedDigest), hex(inspection.computedDigest));
    QString series;
    if (inspection.series)
        series = inspection.series->index ? QStringLiteral("  series:       %1, piece %2\n")
                                                .arg(quoted(inspection.series->baseName.toUtf8()))
                                                .arg(*inspection.series->index)
                                          : QStringLiteral("  series:       %1, a series of one\n")
                                                .arg(quoted(inspection.series->baseName.toUtf8()));
    return QStringLiteral("%1: container\n"
                          "  signature:    %2\n"
                          "  resource tag: %3\n"
                          "  name field:   %4\n"
                          "  data size:    %5\n"
                          "  fixed byte:   %6\n"
                          "  payload:      %7\n"
                          "  file length:  %8 bytes\n"
                          "  digest:       %9\n")
               .arg(path, quoted(inspection.signature), quoted(inspection.tag),
                    quoted(inspection.name), QString::number(inspection.dataSize),
                    QString::number(inspection.fixedByte), payload,
                    QString::number(inspection.fileLength), digest) +
           series;
}

QJsonObject inspectionJson(const Inspection& inspection)
{
    QJsonObject object;
    object.insert(QStringLiteral("path"), inspection.path);
    switch (inspection.kind) {
    case Inspection::Kind::Unreadable:
        object.insert(QStringLiteral("kind"), QStringLiteral("unreadable"));
        object.insert(QStringLiteral("problem"), inspection.problem);
        return object;
    case Inspection::Kind::Plain:
        object.insert(QStringLiteral("kind"), QStringLiteral("plain"));
        object.insert(QStringLiteral("problem"), inspection.problem);
        object.insert(QStringLiteral("fileLength"), double(inspection.fileLength));
        return object;
    case Inspection::Kind::Container:
        break;
    }
    object.insert(QStringLiteral("kind"), QStringLiteral("container"));
    object.insert(QStringLiteral("fileLength"), double(inspection.fileLength));
    object.insert(QStringLiteral("signature"), escapedBytes(inspection.signature));
    object.insert(QStringLiteral("tag"), escapedBytes(inspection.tag));
    object.insert(QStringLiteral("name"), escapedBytes(inspection.name));
    object.insert(QStringLiteral("nameHex"), hex(inspection.name));
    object.insert(QStringLiteral("dataSize"), double(inspection.dataSize));
    object.insert(QStringLiteral("fixedByte"), int(inspection.fixedByte));
    object.insert(QStringLiteral("payloadOffset"),
                  inspection.payloadOffset ? QJsonValue(double(*inspection.payloadOffset))
                                           : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("payloadLength"), double(inspection.payloadLength));
    object.insert(QStringLiteral("storedDigest"), hex(inspection.storedDigest));
    object.insert(QStringLiteral("computedDigest"), hex(inspection.computedDigest));
    object.insert(QStringLiteral("digestMatches"), inspection.digestMatches);
    if (inspection.series) {
        object.insert(QStringLiteral("series"), inspection.series->baseName);
        object.insert(QStringLiteral("seriesIndex"),
                      inspection.series->index ? QJsonValue(double(*inspection.series->index))
                                               : QJsonValue(QJsonValue::Null));
    }
    return object;
}

} // namespace ptcdrop
