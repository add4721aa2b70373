// SPDX-License-Identifier: MIT
// Fuzz target: the container readers, classification and both extraction paths on arbitrary
// file bytes, as a dropped file would hand them over.
#include "FuzzCheck.h"

#include "Classification.h"
#include "Extraction.h"
#include "Naming.h"
#include "PtcFormat.h"

#include <QtEndian>

namespace {

// Byte `index` of the file as the readers see it: missing bytes read as zero.
uchar byteAt(const QByteArray& bytes, qsizetype index)
{
    return index < bytes.size() ? uchar(bytes[index]) : 0;
}

// A fixed-width text field up to its first zero byte, computed without the readers.
QByteArray expectedField(const QByteArray& bytes, qsizetype offset, qsizetype width)
{
    QByteArray field = bytes.mid(offset, width);
    const qsizetype zero = field.indexOf('\0');
    return zero < 0 ? field : field.first(zero);
}

void checkFileName(const QString& fileName, const QByteArray& nameField, const char* suffix)
{
    FUZZ_CHECK(fuzz::isSafeFileName(fileName));
    FUZZ_CHECK(fileName.endsWith(QLatin1StringView(suffix)));
    FUZZ_CHECK(fileName == ptcdrop::fileNameFromNameField(nameField) + QLatin1StringView(suffix));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ptcdrop;
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const qsizetype available = std::max<qsizetype>(0, bytes.size() - ptc::kHeaderSize);

    const ptc::ContainerFields fields = ptc::readContainerFields(bytes);
    FUZZ_CHECK(fields.signature == expectedField(bytes, ptc::kSignatureOffset, 4));
    FUZZ_CHECK(fields.tag == expectedField(bytes, ptc::kTagOffset, 3));
    FUZZ_CHECK(fields.name == expectedField(bytes, ptc::kNameOffset, 8));
    FUZZ_CHECK(fields.dataSize == (quint32(byteAt(bytes, 4)) | quint32(byteAt(bytes, 5)) << 8));
    // Classification reads only the header, so the header alone must give the same fields.
    const ptc::ContainerFields headFields = ptc::readContainerFields(bytes.left(ptc::kHeaderSize));
    FUZZ_CHECK(headFields.tag == fields.tag && headFields.signature == fields.signature);

    const bool container = fields.signature == ptc::kSignature;
    const QString tag = resourceTag(QStringLiteral("/in/drop.ptc"), bytes);
    FUZZ_CHECK(tag == (container ? QString::fromLatin1(fields.tag) : QString()));
    FUZZ_CHECK(resourceTag(QStringLiteral("/in/DROP.PtC"), bytes) == tag);
    FUZZ_CHECK(resourceTag(QStringLiteral("/in/drop.bin"), bytes).isEmpty());
    FUZZ_CHECK(resourceTag(QStringLiteral("/in/drop.ptc"), bytes.left(ptc::kHeaderSize)) == tag);

    const quint64 length = ptc::payloadLength(fields.dataSize);
    FUZZ_CHECK(length <= 0xFFFF);

    // The trimmer: a prefix of what follows the header, never longer than the file allows,
    // and only zero bytes of the payload left behind.
    const QByteArray trimmed = gzipData(bytes, length);
    FUZZ_CHECK(trimmed.size() <= available);
    FUZZ_CHECK(bytes.mid(ptc::kHeaderSize).startsWith(trimmed));
    const QByteArray payload = bytes.mid(ptc::kHeaderSize, qsizetype(length));
    for (qsizetype i = trimmed.size(); i < payload.size(); ++i)
        FUZZ_CHECK(payload[i] == '\0');

    // Any length beyond the file's end, however large, means "up to the file's end".
    for (const quint64 beyond :
         {quint64(available) + 1, quint64(1) << 63, ~quint64(0) - 47, ~quint64(0)})
        FUZZ_CHECK(gzipData(bytes, beyond) == gzipData(bytes, quint64(available)));

    const Extracted raw = extractGRP(bytes, false);
    checkFileName(raw.fileName, fields.name, ptc::kDataSuffix);
    FUZZ_CHECK(raw.content.has_value());
    FUZZ_CHECK(*raw.content == payload);

    const Extracted text = extractGRP(bytes, true);
    checkFileName(text.fileName, fields.name, ptc::kTextSuffix);
    // Deflate expands at most about 1032 times, so a result far larger than the file
    // would mean bytes that were never read.
    if (text.content)
        FUZZ_CHECK(quint64(text.content->size()) <= 1032 * quint64(bytes.size()) + 1032);

    const Extracted program = extractPRG(bytes);
    checkFileName(program.fileName, fields.name, ptc::kTextSuffix);
    FUZZ_CHECK(program.content.has_value());
    FUZZ_CHECK(*program.content == bytes.mid(ptc::kProgramTextOffset, qsizetype(length)));
    FUZZ_CHECK(program.content->size() <= std::max<qsizetype>(0, bytes.size() - 60));
    return 0;
}
