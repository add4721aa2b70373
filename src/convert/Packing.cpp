// SPDX-License-Identifier: MIT
// The piece cutter: 49152-byte slices of the packed stream, named by the base-name rule.
#include "Packing.h"

#include "ContainerBuilder.h"
#include "Naming.h"
#include "PtcFormat.h"

#include <algorithm>

namespace ptcdrop {

PieceCutter::PieceCutter(QString path) : m_path(std::move(path)) {}

void PieceCutter::append(QByteArrayView packed, const Emit& sink)
{
    while (!packed.isEmpty()) {
        const qsizetype room = ptc::kPayloadSize - m_buffer.size();
        const qsizetype taken = std::min(room, packed.size());
        // A piece's bytes are gathered where its container will be built around them.
        if (m_buffer.isEmpty() && m_buffer.capacity() < ptc::kPayloadSize)
            m_buffer = payloadBuffer(ptc::kPayloadSize);
        m_buffer.append(packed.first(taken));
        packed = packed.sliced(taken);
        if (m_buffer.size() == ptc::kPayloadSize) {
            // The stream has reached a full piece: it is a multi-piece file.
            m_multiPiece = true;
            sink(take(ptc::kPayloadSize));
        }
    }
}

void PieceCutter::append(QByteArray&& packed, const Emit& sink)
{
    if (!m_buffer.isEmpty() || packed.size() != ptc::kPayloadSize) {
        append(QByteArrayView(packed), sink);
        return;
    }
    m_buffer = std::move(packed);
    m_multiPiece = true;
    sink(take(ptc::kPayloadSize));
}

qsizetype PieceCutter::room() const
{
    return ptc::kPayloadSize - m_buffer.size();
}

void PieceCutter::finish(const Emit& sink)
{
    sink(take(m_buffer.size()));
}

Piece PieceCutter::cutUnread(qsizetype length)
{
    Q_ASSERT(m_buffer.isEmpty() && length <= ptc::kPayloadSize);
    if (length == ptc::kPayloadSize)
        m_multiPiece = true;
    return take(0);
}

Piece PieceCutter::take(qsizetype length)
{
    if (m_next == 0)
        m_baseName = name(m_path, !m_multiPiece);
    Piece piece;
    piece.index = m_next++;
    piece.pieceName = pieceName(m_baseName, piece.index, m_multiPiece);
    piece.fileName = piece.pieceName + QLatin1StringView(ptc::kContainerSuffix);
    piece.payload = std::exchange(m_buffer, QByteArray());
    piece.payload.truncate(length);
    return piece;
}

QList<Piece> cutPieces(const QString& path, QByteArrayView packed)
{
    QList<Piece> pieces;
    PieceCutter cutter(path);
    const auto keep = [&pieces](Piece&& piece) { pieces.append(std::move(piece)); };
    cutter.append(packed, keep);
    cutter.finish(keep);
    return pieces;
}

} // namespace ptcdrop
