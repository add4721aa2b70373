// SPDX-License-Identifier: MIT
// Cutting a packed stream into pieces and naming them: pure, no file is touched.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>

namespace ptcdrop {

// One piece of a packed file: what its container holds and what its output is called.
struct Piece
{
    quint64 index = 0;
    QString pieceName;  // NOTES, or NOTES_0, NOTES_1, ...
    QString fileName;   // the piece name and ".ptc"
    QByteArray payload; // at most 49152 bytes
};

// Cuts a packed stream that arrives in slices. A piece is handed on as soon as it is
// complete; whether the file is one piece or several (and so its base name) is known once
// the stream reaches 49152 bytes or ends, which is exactly when the first piece is
// complete. floor(L / 49152) + 1 pieces: a stream whose length is a multiple of 49152
// (none included) ends with an empty piece.
class PieceCutter
{
public:
    using Emit = std::function<void(Piece&&)>;

    // `path` names the plain file; its last component gives the base name.
    explicit PieceCutter(QString path);

    void append(QByteArrayView packed, const Emit& sink);
    // The same; a whole piece arriving alone becomes its payload without a copy.
    void append(QByteArray&& packed, const Emit& sink);
    // Bytes still wanted before the next piece is complete: slices of this length keep
    // the pieces whole.
    qsizetype room() const;
    // The last piece, possibly empty.
    void finish(const Emit& sink);
    // The next piece as append() and finish() would cut it from `length` bytes that the
    // caller reads in itself: a whole piece (49152 bytes), or fewer for the last one. Only
    // between pieces; the payload is left empty.
    Piece cutUnread(qsizetype length);

    quint64 piecesCut() const { return m_next; }

private:
    Piece take(qsizetype length);

    QString m_path;
    QString m_baseName;
    bool m_multiPiece = false;
    quint64 m_next = 0;
    QByteArray m_buffer;
};

// The pieces of a whole packed buffer, for callers and tests that hold it in memory.
QList<Piece> cutPieces(const QString& path, QByteArrayView packed);

} // namespace ptcdrop
