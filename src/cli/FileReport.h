// SPDX-License-Identifier: MIT
// Inspecting files without converting them: what the conversion would see in each one.
#pragma once

#include "SeriesName.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace ptcdrop {

// What one file holds, classified exactly as the conversion classifies it.
struct Inspection
{
    enum class Kind
    {
        Unreadable,
        Plain,
        Container
    };

    QString path; // as the user gave it
    Kind kind = Kind::Unreadable;
    QString problem; // why the file could not be read, or why it is plain
    quint64 fileLength = 0;

    // Container fields, as the extraction reads them (text fields up to their first zero).
    QByteArray signature;
    QByteArray tag;
    QByteArray name;
    quint32 dataSize = 0;
    quint8 fixedByte = 0;
    // Where the extraction takes the payload from and how many bytes it takes, bounded by
    // the file's end; no value for a tag the conversion does not extract.
    std::optional<quint64> payloadOffset;
    quint64 payloadLength = 0;
    QByteArray storedDigest;   // bytes 20-35, fewer when the file ends earlier
    QByteArray computedDigest; // the digest the format requires for these bytes
    bool digestMatches = false;
    // For a "GRP" container: the series a join would take it into, and its index there.
    std::optional<SeriesName> series;

    // True when the file deserves a non-zero exit status: unreadable, or a container whose
    // digest does not match its bytes.
    bool isFault() const;
};

// Reads `path` (absolute) and describes it; `shownPath` is how the user named it. Changes
// nothing on disk.
Inspection inspectFile(const QString& path, const QString& shownPath);

// A file whose name (`nameBytes`, as given) is not text: unreadable, since no path would
// reach it alone; its name shown with the bytes that are not text escaped.
Inspection inspectUnnamable(const QByteArray& nameBytes);

// Bytes outside printable ASCII, and the backslash and double quote, as \xNN / \\ / \".
QString escapedBytes(const QByteArray& bytes);

// Several lines: the path and its kind, then one indented line per field.
QString inspectionText(const Inspection& inspection);

// The same facts for scripts.
QJsonObject inspectionJson(const Inspection& inspection);

} // namespace ptcdrop
