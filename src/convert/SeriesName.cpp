// SPDX-License-Identifier: MIT
// Reading a piece's index out of its file name and naming the pieces and the joined file.
#include "SeriesName.h"

#include "Classification.h"
#include "PathRules.h"
#include "PtcFormat.h"

namespace ptcdrop {
namespace {

// Digits as the packer writes an index: no sign, no leading zero, within 64 bits.
std::optional<quint64> parseIndex(QStringView digits)
{
    if (digits.isEmpty() || (digits.size() > 1 && digits.front() == u'0'))
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const quint64 digit = quint64(c.unicode() - u'0');
        if (value > (~quint64(0) - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

std::optional<SeriesName> seriesNameOf(const QString& fileName)
{
    if (!hasContainerExtension(fileName))
        return std::nullopt;
    SeriesName series;
    series.extension = paths::extension(fileName);
    const QString stem = paths::stem(fileName);
    series.baseName = stem;
    const qsizetype underscore = stem.lastIndexOf(u'_');
    if (underscore >= 0) {
        series.index = parseIndex(QStringView(stem).sliced(underscore + 1));
        if (series.index)
            series.baseName = stem.first(underscore);
    }
    return series;
}

QString seriesPieceFileName(const SeriesName& series, quint64 index)
{
    return series.baseName + u'_' + QString::number(index) + u'.' + series.extension;
}

QString joinedFileName(const QString& baseName, bool gzip)
{
    return baseName + QLatin1StringView(gzip ? ptc::kTextSuffix : ptc::kDataSuffix);
}

} // namespace ptcdrop
