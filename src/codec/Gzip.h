// Whole-buffer gzip compression and gzip/zlib decompression on zlib.
#pragma once

#include <QByteArray>

#include <optional>

namespace ptcdrop {

// One gzip member of the whole input at zlib's default level; no result for an empty input.
std::optional<QByteArray> gzippedData(const QByteArray& input);

// `level` is a fraction of zlib's highest level 9: below 0 means zlib's default, otherwise
// level x 9 rounded half away from zero. A level that maps above 9 gives no result.
std::optional<QByteArray> gzippedDataWithCompressionLevel(const QByteArray& input, float level);

// The bytes of the first complete gzip or zlib stream at the start of the input (anything
// after it is ignored); no result for an empty, truncated or corrupt stream.
std::optional<QByteArray> gunzippedData(const QByteArray& input);

} // namespace ptcdrop
