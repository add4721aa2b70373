// SPDX-License-Identifier: MIT
// A drop as the system names its files, bytes: refused whole when a name is not text.
#pragma once

#include "Alert.h"
#include "Conversion.h"

#include <QByteArray>
#include <QList>

namespace ptcdrop {

// Converts the files `names` name (native bytes, as the command line or a file: URL gives
// them) as one drop. A name that no text can spell (bytes that are not UTF-8) cannot be
// handed on without reaching a different file, so such a batch is refused whole, as one
// holding a folder is: one "Name" alert per such name, shown readably, and nothing is
// converted. `alerts` must be the sink `conversion` reports to.
BatchSummary convertDroppedNames(Conversion& conversion, AlertSink& alerts,
                                 const QList<QByteArray>& names);

// The same refusal, then the join of the series of each piece (Conversion::joinSeries).
BatchSummary joinDroppedNames(Conversion& conversion, AlertSink& alerts,
                              const QList<QByteArray>& names);

} // namespace ptcdrop
