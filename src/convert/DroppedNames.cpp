// SPDX-License-Identifier: MIT
// The drop of native names: the text test, then the drop of paths.
#include "DroppedNames.h"

#include "PathBytes.h"

namespace ptcdrop {

BatchSummary convertDroppedNames(Conversion& conversion, AlertSink& alerts,
                                 const QList<QByteArray>& names)
{
    QStringList paths;
    paths.reserve(names.size());
    BatchSummary refused;
    for (const QByteArray& name : names) {
        if (const std::optional<QString> path = pathFromBytes(name)) {
            paths.append(*path);
            continue;
        }
        alerts.alert(Alert{QString::fromLatin1(keys::kName), readableBytes(name)});
        ++refused.alertsShown;
    }
    if (refused.alertsShown > 0)
        return refused;
    return conversion.convertDrop(paths);
}

} // namespace ptcdrop
