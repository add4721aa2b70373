// SPDX-License-Identifier: MIT
// Path and name operations with this program's own extension rule.
#pragma once

#include <QString>

namespace ptcdrop::paths {

// The part after the last "/" (the whole path when there is none).
QString lastComponent(const QString& path);
// The part of the last component after its last "."; a component whose only "." is its
// first character (".profile") has none. Empty when there is none.
QString extension(const QString& path);
// The last component without its extension (only the last one: "a.tar.gz" -> "a.tar").
QString stem(const QString& path);
// The path with its last component removed ("" for a bare name, "/" for "/x").
QString removeLastComponent(const QString& path);
// `directory` joined with `component`.
QString join(const QString& directory, const QString& component);

} // namespace ptcdrop::paths
