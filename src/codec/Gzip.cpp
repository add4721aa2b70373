// SPDX-License-Identifier: MIT
// zlib wrappers. zlib counts input and output space in 32 bits, so both are handed over in
// slices of at most 1 GiB: inputs of 4 GiB and more work, and smaller ones produce exactly
// the bytes a single call would. Decompression is GunzipStream's, fed the whole buffer.
#include "Gzip.h"

#include "GunzipStream.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace ptcdrop {
namespace {

constexpr quint64 kSlice = quint64(1) << 30;
constexpr int kGzipWindowBits = 15 + 16; // 32 KiB window, gzip wrapper
constexpr int kMemLevel = 8;
constexpr qsizetype kDeflateStep = 16384;

uInt sliceOf(quint64 remaining)
{
    return uInt(std::min(remaining, kSlice));
}

// Maps the fractional level onto zlib's 0..9; nullopt when it cannot be a zlib level.
std::optional<int> zlibLevel(float level)
{
    if (std::isnan(level))
        return std::nullopt;
    if (level < 0.0f)
        return Z_DEFAULT_COMPRESSION;
    const float scaled = level * 9.0f;
    if (scaled >= 9.5f)
        return std::nullopt;
    return int(std::lround(scaled));
}

// Running out of memory is "no result": QByteArray reports it by throwing, and no codec
// call may throw.
bool resizeOutput(QByteArray& output, qsizetype size) noexcept
{
    try {
        output.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

std::optional<QByteArray> gzippedData(const QByteArray& input)
{
    return gzippedDataWithCompressionLevel(input, -1.0f);
}

std::optional<QByteArray> gzippedDataWithCompressionLevel(const QByteArray& input, float level)
{
    const std::optional<int> mapped = zlibLevel(level);
    if (input.isEmpty() || !mapped)
        return std::nullopt;

    z_stream stream{};
    if (deflateInit2(&stream, *mapped, Z_DEFLATED, kGzipWindowBits, kMemLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;

    const auto* next = reinterpret_cast<const Bytef*>(input.constData());
    quint64 inputLeft = quint64(input.size());
    QByteArray output;
    quint64 produced = 0;
    int status = resizeOutput(output, kDeflateStep) ? Z_OK : Z_MEM_ERROR;
    while (status == Z_OK) {
        if (stream.avail_in == 0 && inputLeft > 0) {
            stream.next_in = const_cast<Bytef*>(next);
            stream.avail_in = sliceOf(inputLeft);
            next += stream.avail_in;
            inputLeft -= stream.avail_in;
        }
        if (produced == quint64(output.size()) &&
            !resizeOutput(output,
                          output.size() + std::max<qsizetype>(kDeflateStep, output.size() / 2))) {
            status = Z_MEM_ERROR;
            break;
        }
        stream.next_out = reinterpret_cast<Bytef*>(output.data() + produced);
        stream.avail_out = sliceOf(quint64(output.size()) - produced);
        const uInt offered = stream.avail_out;
        status = deflate(&stream, inputLeft == 0 ? Z_FINISH : Z_NO_FLUSH);
        produced += offered - stream.avail_out;
    }
    deflateEnd(&stream);
    // A compressor that stops short of the stream's end is a failure, not a shorter stream.
    if (status != Z_STREAM_END)
        return std::nullopt;
    output.truncate(qsizetype(produced));
    return output;
}

std::optional<Gunzipped> gunzippedMembers(const QByteArray& input)
{
    Gunzipped result;
    // Starts at one and a half times the input and grows by doubling: a small stream that
    // expands a thousandfold takes a handful of steps.
    if (!resizeOutput(result.bytes, std::max<qsizetype>(1, qsizetype(double(input.size()) * 1.5))))
        return std::nullopt;
    qsizetype produced = 0;
    GunzipStream stream([&](QByteArrayView bytes) noexcept {
        if (bytes.size() > result.bytes.size() - produced) {
            const qsizetype needed = produced + bytes.size();
            if (result.bytes.size() > (std::numeric_limits<qsizetype>::max)() / 2 ||
                !resizeOutput(result.bytes, std::max(needed, result.bytes.size() * 2)))
                return false;
        }
        std::memcpy(result.bytes.data() + produced, bytes.data(), size_t(bytes.size()));
        produced += bytes.size();
        return true;
    });
    if (!stream.feed(input) || !stream.finish())
        return std::nullopt;
    result.bytes.truncate(produced);
    result.trailingBytes = stream.trailingBytes();
    return result;
}

std::optional<QByteArray> gunzippedData(const QByteArray& input)
{
    std::optional<Gunzipped> result = gunzippedMembers(input);
    if (!result)
        return std::nullopt;
    return std::move(result->bytes);
}

} // namespace ptcdrop
