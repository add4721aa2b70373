// SPDX-License-Identifier: MIT
// Output names: base names of packed files and file names read from container name fields.
#pragma once

#include <QByteArray>
#include <QString>

namespace ptcdrop {

// The upper-case base name of a plain file: its stem cut to 8 UTF-16 code units
// (only == true, a single piece) or 5 (several pieces), one trailing "_" removed.
QString name(const QString& path, bool only);

// The name of piece `index`: the base name alone for a single piece, else "BASE_index".
QString pieceName(const QString& baseName, quint64 index, bool multiPiece);

// A container's name field as a file name component: invalid UTF-8 becomes U+FFFD and
// every "/" becomes "_", so the output always stays in the save directory.
QString fileNameFromNameField(const QByteArray& nameField);

} // namespace ptcdrop
