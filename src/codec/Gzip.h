// SPDX-License-Identifier: MIT
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

// What gunzipping a whole buffer gave: the bytes of the stream and of every gzip member
// after it, and whether bytes that are neither a member nor zero fill followed the last
// member (they are not decoded).
struct Gunzipped
{
    QByteArray bytes;
    bool trailingBytes = false;
};

// The input decoded as GunzipStream decodes it: a gzip or zlib stream, then gzip member
// after member. No result for an empty input, or when a stream or member that has begun is
// truncated or corrupt.
std::optional<Gunzipped> gunzippedMembers(const QByteArray& input);

// The bytes of gunzippedMembers(), for callers that do not tell trailing bytes apart.
std::optional<QByteArray> gunzippedData(const QByteArray& input);

} // namespace ptcdrop
