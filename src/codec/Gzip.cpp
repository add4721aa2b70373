// zlib wrappers. zlib counts input and output space in 32 bits, so both are handed over in
// slices of at most 1 GiB: inputs of 4 GiB and more work, and smaller ones produce exactly
// the bytes a single call would.
#include "Gzip.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace ptcdrop {
namespace {

constexpr quint64 kSlice = quint64(1) << 30;
constexpr int kGzipWindowBits = 15 + 16;   // 32 KiB window, gzip wrapper
constexpr int kDetectWindowBits = 15 + 32; // 32 KiB window, gzip or zlib header
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

std::optional<QByteArray> gunzippedData(const QByteArray& input)
{
    if (input.isEmpty())
        return std::nullopt;

    z_stream stream{};
    if (inflateInit2(&stream, kDetectWindowBits) != Z_OK)
        return std::nullopt;

    const auto* next = reinterpret_cast<const Bytef*>(input.constData());
    quint64 inputLeft = quint64(input.size());
    // Starts at one and a half times the input and doubles: a small stream that expands a
    // thousandfold takes a handful of steps, not thousands of steps of half the input.
    QByteArray output;
    quint64 produced = 0;
    int status = resizeOutput(output, std::max<qsizetype>(1, qsizetype(double(input.size()) * 1.5)))
                     ? Z_OK
                     : Z_MEM_ERROR;
    while (status == Z_OK) {
        if (stream.avail_in == 0 && inputLeft > 0) {
            stream.next_in = const_cast<Bytef*>(next);
            stream.avail_in = sliceOf(inputLeft);
            next += stream.avail_in;
            inputLeft -= stream.avail_in;
        }
        if (produced == quint64(output.size())) {
            if (output.size() > (std::numeric_limits<qsizetype>::max)() / 2 ||
                !resizeOutput(output, output.size() * 2)) {
                status = Z_MEM_ERROR;
                break;
            }
        }
        stream.next_out = reinterpret_cast<Bytef*>(output.data() + produced);
        stream.avail_out = sliceOf(quint64(output.size()) - produced);
        const uInt offered = stream.avail_out;
        status = inflate(&stream, Z_SYNC_FLUSH);
        produced += offered - stream.avail_out;
    }
    const int endStatus = inflateEnd(&stream);
    if (status != Z_STREAM_END || endStatus != Z_OK)
        return std::nullopt;
    output.truncate(qsizetype(produced));
    return output;
}

} // namespace ptcdrop
