// SPDX-License-Identifier: MIT
// The container test: a ".ptc" extension in any case plus the case-sensitive signature.
#include "Classification.h"

#include "PathRules.h"
#include "PtcFormat.h"

namespace ptcdrop {

bool hasContainerExtension(const QString& path)
{
    return paths::extension(paths::lastComponent(path).toUpper()).toUpper() ==
           QLatin1StringView(ptc::kContainerExtension);
}

std::optional<QString> containerTag(const QString& path, const QByteArray& head)
{
    if (!hasContainerExtension(path) || !ptc::hasSignature(head))
        return std::nullopt;
    // Latin-1 keeps one character per byte, so any tag can be shown as it is.
    return QString::fromLatin1(ptc::readContainerFields(head).tag);
}

QString resourceTag(const QString& path, const QByteArray& head)
{
    return containerTag(path, head).value_or(QString());
}

} // namespace ptcdrop
