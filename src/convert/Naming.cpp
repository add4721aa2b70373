// SPDX-License-Identifier: MIT
// Base names of packed files and file names from container name fields.
#include "Naming.h"

#include "PathRules.h"

namespace ptcdrop {
namespace {

constexpr qsizetype kSinglePieceStem = 8;
constexpr qsizetype kMultiPieceStem = 5;

} // namespace

QString name(const QString& path, bool only)
{
    QString base = paths::stem(path);
    const qsizetype limit = only ? kSinglePieceStem : kMultiPieceStem;
    if (base.size() > limit) {
        base.truncate(limit);
        // A cut between the halves of a surrogate pair would leave half a character,
        // which is not valid text for a file name or for UTF-8.
        if (base.back().isHighSurrogate())
            base.chop(1);
    }
    if (base.endsWith(u'_'))
        base.chop(1);
    return base.toUpper();
}

QString pieceName(const QString& baseName, quint64 index, bool multiPiece)
{
    return multiPiece ? baseName + u'_' + QString::number(index) : baseName;
}

QString fileNameFromNameField(const QByteArray& nameField)
{
    QString fileName = QString::fromUtf8(nameField);
    fileName.replace(u'/', u'_');
    return fileName;
}

} // namespace ptcdrop
