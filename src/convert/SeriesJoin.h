// SPDX-License-Identifier: MIT
// Joining a piece series back into the file it was packed from.
#pragma once

#include "Alert.h"
#include "Conversion.h"
#include "SeriesName.h"

#include <QStringList>

#include <atomic>

namespace ptcdrop {

// What a join needs from its owner; the references outlive the call.
struct JoinSettings
{
    AlertSink& alerts;
    const Conversion::GzipSwitch& gzipSwitch;
    const Conversion::Progress& progress;
    const std::atomic<bool>* cancel = nullptr;
};

// The series the piece at `path` belongs to and its index there, as a join takes it: no
// index for a series of one (a name without "_N", or a piece that is alone in its folder
// without a piece 0). No result for a name that does not end in ".ptc".
std::optional<SeriesName> seriesOfPiece(const QString& path);

// Joins the series of each piece in `pieces` (absolute paths), in order; a series named by
// several of them is joined once. A series is its folder's BASE_0.ptc, BASE_1.ptc, ... with
// no gap, all "GRP" containers, read one piece at a time. The gzip switch is read once per
// series: on, the joined payloads are one gzip stream (zero fill after its end allowed) and
// BASE.txt gets its gunzipped bytes; off, BASE.dat gets the payloads as they are. The
// output is written beside the pieces in one commit and never replaces a piece of the
// series, a file named in `pieces` or an earlier output of the call; on any fault an
// alert names the piece at fault and nothing is written. Progress reports one step per
// entry of `pieces` (pieces joined so far in piecesWritten), as a batch does per file.
BatchSummary joinSeries(const QStringList& pieces, const JoinSettings& settings);

} // namespace ptcdrop
