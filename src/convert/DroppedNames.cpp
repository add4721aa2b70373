// SPDX-License-Identifier: MIT
// The drop of native names: the text test, then the drop of paths.
#include "DroppedNames.h"

#include "PathBytes.h"

#include <optional>

namespace ptcdrop {

namespace {

// The paths `names` spell, or none after a "Name" alert for each name that is not text.
std::optional<QStringList> textPaths(AlertSink& alerts, const QList<QByteArray>& names,
                                     BatchSummary& refused)
{
    QStringList paths;
    paths.reserve(names.size());
    for (const QByteArray& name : names) {
        if (const std::optional<QString> path = pathFromBytes(name)) {
            paths.append(*path);
            continue;
        }
        alerts.alert(Alert{QString::fromLatin1(keys::kName), readableBytes(name)});
        ++refused.alertsShown;
    }
    if (refused.alertsShown > 0)
        return std::nullopt;
    return paths;
}

} // namespace

BatchSummary convertDroppedNames(Conversion& conversion, AlertSink& alerts,
                                 const QList<QByteArray>& names)
{
    BatchSummary refused;
    const std::optional<QStringList> paths = textPaths(alerts, names, refused);
    return paths ? conversion.convertDrop(*paths) : refused;
}

BatchSummary joinDroppedNames(Conversion& conversion, AlertSink& alerts,
                              const QList<QByteArray>& names)
{
    BatchSummary refused;
    const std::optional<QStringList> paths = textPaths(alerts, names, refused);
    return paths ? conversion.joinSeries(*paths) : refused;
}

} // namespace ptcdrop
