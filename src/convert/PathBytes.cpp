// SPDX-License-Identifier: MIT
// Name bytes to text and back. A name is taken only when it survives the way back that every
// file call makes (QFile::encodeName), so that no spelling can lead to another file.
#include "PathBytes.h"

#include <QFile>
#include <QStringDecoder>

namespace ptcdrop {
namespace {

// The length of the well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0 when there is none.
qsizetype sequenceLength(QByteArrayView bytes, qsizetype at, char32_t& codePoint)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    qsizetype length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() - at < length)
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(at + i) & 0x3f);
    }
    if (codePoint < minimum || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
        return 0;
    return length;
}

} // namespace

std::optional<QString> pathFromBytes(QByteArrayView bytes)
{
    if (bytes.contains('\0'))
        return std::nullopt;
    // A leading byte order mark is part of the name; the default decoder would drop it.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString path = decoder(bytes);
    if (decoder.hasError() || QFile::encodeName(path) != bytes)
        return std::nullopt;
    return path;
}

std::optional<QByteArray> localFileBytes(const QUrl& url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    // The encoded form keeps every byte as an escape; decoding it gives the bytes back.
    QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // A host other than this machine is a share, spelled "//host/path" as toLocalFile does.
    const QString host = url.host(QUrl::FullyEncoded);
    if (!host.isEmpty() && host != QLatin1StringView("localhost"))
        path.prepend("//" + host.toLatin1());
    return path;
}

QString readableBytes(QByteArrayView bytes)
{
    QString shown;
    shown.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t codePoint = 0;
        const qsizetype length = sequenceLength(bytes, at, codePoint);
        if (length == 0 || codePoint == 0) {
            shown += QStringLiteral("\\x%1").arg(uint(static_cast<unsigned char>(bytes[at])), 2, 16,
                                                 QLatin1Char('0'));
            ++at;
            continue;
        }
        if (codePoint == u'\\')
            shown += QLatin1StringView("\\\\");
        else
            shown += QString::fromUcs4(&codePoint, 1);
        at += length;
    }
    return shown;
}

} // namespace ptcdrop
