// SPDX-License-Identifier: MIT
// Payload extraction from a container in memory. Every range stops at the end of the bytes
// that were read, so a short or lying container never makes us read or write beyond it.
#include "Extraction.h"

#include "Gzip.h"
#include "Naming.h"
#include "PtcFormat.h"

#include <algorithm>

namespace ptcdrop {
namespace {

// Up to `length` bytes from `offset`, cut at the end of `bytes`.
QByteArray boundedRange(const QByteArray& bytes, quint64 offset, quint64 length)
{
    const quint64 size = quint64(bytes.size());
    if (offset >= size)
        return QByteArray();
    return bytes.sliced(qsizetype(offset), qsizetype(std::min(length, size - offset)));
}

} // namespace

QByteArray gzipData(const QByteArray& container, quint64 length)
{
    const qint64 size = container.size();
    if (size <= ptc::kHeaderSize)
        return QByteArray();
    // The payload's end, bounded by the file's end before adding, so that no length can
    // wrap the sum around.
    const quint64 available = quint64(size - ptc::kHeaderSize);
    qint64 last = qint64(ptc::kHeaderSize) + qint64(std::min(length, available)) - 1;
    while (last >= ptc::kHeaderSize && container[qsizetype(last)] == '\0')
        --last;
    // The format's trimmer keeps two bytes past the last non-zero byte.
    const qint64 end = std::min<qint64>(last + 3, size);
    return container.sliced(ptc::kHeaderSize, qsizetype(end - ptc::kHeaderSize));
}

Extracted extractGRP(const QByteArray& container, bool gzip)
{
    const ptc::ContainerFields fields = ptc::readContainerFields(container);
    const QString name = fileNameFromNameField(fields.name);
    const quint64 length = ptc::payloadLength(fields.dataSize);
    if (!gzip)
        return {name + QLatin1StringView(ptc::kDataSuffix),
                boundedRange(container, ptc::kHeaderSize, length)};

    std::optional<Gunzipped> decoded = gunzippedMembers(gzipData(container, length));
    // Keeping only two bytes of the zero run cuts off the end of a stream whose length
    // field ends in three zero bytes (every source of 1 to 255 bytes); the whole payload
    // area then still holds the complete stream.
    if (!decoded)
        decoded = gunzippedMembers(boundedRange(container, ptc::kHeaderSize, length));
    const QString fileName = name + QLatin1StringView(ptc::kTextSuffix);
    if (!decoded)
        return {fileName, std::nullopt};
    return {fileName, std::move(decoded->bytes), decoded->trailingBytes};
}

Extracted extractPRG(const QByteArray& container)
{
    const ptc::ContainerFields fields = ptc::readContainerFields(container);
    return {fileNameFromNameField(fields.name) + QLatin1StringView(ptc::kTextSuffix),
            boundedRange(container, ptc::kProgramTextOffset, ptc::payloadLength(fields.dataSize))};
}

} // namespace ptcdrop
