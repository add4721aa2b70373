// SPDX-License-Identifier: MIT
// What a piece's file name says about its series: base name, index, ending. Pure.
#pragma once

#include <QString>

#include <optional>

namespace ptcdrop {

// NOTES_3.ptc is piece 3 of the series NOTES; NOTES.ptc carries no index and is a series of
// one. The index is plain decimal as the packer writes it ("_03" is no index), and the
// base name keeps its letter case: only the ".ptc" ending is compared in any case.
struct SeriesName
{
    QString baseName;             // the stem without "_index"; the whole stem without an index
    std::optional<quint64> index; // none for a series of one
    QString extension;            // the ending as spelled, without its "." ("ptc", "PTC", ...)
};

// No result when the name does not end in ".ptc" (in any case), so it is no container.
std::optional<SeriesName> seriesNameOf(const QString& fileName);

// The file name of piece `index` of a series: BASE_index.ext.
QString seriesPieceFileName(const SeriesName& series, quint64 index);

// The joined file: BASE.txt when the payloads were gunzipped, else BASE.dat.
QString joinedFileName(const QString& baseName, bool gzip);

} // namespace ptcdrop
