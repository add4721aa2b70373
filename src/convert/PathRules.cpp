// SPDX-License-Identifier: MIT
// Path operations. The extension rule differs from QFileInfo's: ".profile" has none, and
// only the last "." splits.
#include "PathRules.h"

namespace ptcdrop::paths {
namespace {

// Index of the "." that starts the extension in `component`, or -1.
qsizetype extensionDot(const QString& component)
{
    const qsizetype dot = component.lastIndexOf(u'.');
    return dot > 0 ? dot : -1;
}

} // namespace

QString lastComponent(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/'))
        trimmed.chop(1);
    return trimmed.sliced(trimmed.lastIndexOf(u'/') + 1);
}

QString extension(const QString& path)
{
    const QString component = lastComponent(path);
    const qsizetype dot = extensionDot(component);
    return dot < 0 ? QString() : component.sliced(dot + 1);
}

QString stem(const QString& path)
{
    const QString component = lastComponent(path);
    const qsizetype dot = extensionDot(component);
    return dot < 0 ? component : component.first(dot);
}

QString removeLastComponent(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.first(slash);
}

QString join(const QString& directory, const QString& component)
{
    if (directory.isEmpty())
        return component;
    return directory.endsWith(u'/') ? directory + component : directory + u'/' + component;
}

} // namespace ptcdrop::paths
