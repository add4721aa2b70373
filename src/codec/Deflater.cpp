// SPDX-License-Identifier: MIT
// Streaming deflate on zlib, with the wrapper and parameters of the whole-buffer compressor.
#include "Deflater.h"

#include <zlib.h>

#include <algorithm>
#include <new>

namespace ptcdrop {
namespace {

constexpr int kGzipWindowBits = 15 + 16; // 32 KiB window, gzip wrapper
constexpr int kMemLevel = 8;
constexpr qsizetype kStep = 64 * 1024;
// zlib counts in 32 bits; larger inputs go in slices, which changes nothing in the output.
constexpr qsizetype kSlice = qsizetype(1) << 30;

} // namespace

struct Deflater::Stream
{
    z_stream zlib{};
};

Deflater::Deflater() : m_stream(new (std::nothrow) Stream)
{
    m_valid = m_stream && deflateInit2(&m_stream->zlib, Z_DEFAULT_COMPRESSION, Z_DEFLATED,
                                       kGzipWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!m_valid)
        m_stream.reset();
}

Deflater::~Deflater()
{
    if (m_stream)
        deflateEnd(&m_stream->zlib);
}

bool Deflater::append(QByteArrayView input, QByteArray& output)
{
    while (m_valid && input.size() > kSlice) {
        m_valid = run(input.first(kSlice), Z_NO_FLUSH, output);
        input = input.sliced(kSlice);
    }
    return m_valid && (m_valid = run(input, Z_NO_FLUSH, output));
}

bool Deflater::finish(QByteArray& output)
{
    return m_valid && (m_valid = run({}, Z_FINISH, output));
}

bool Deflater::run(QByteArrayView input, int flush, QByteArray& output)
{
    z_stream& zlib = m_stream->zlib;
    zlib.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    zlib.avail_in = uInt(input.size());
    try {
        for (;;) {
            const qsizetype before = output.size();
            output.resize(before + kStep);
            zlib.next_out = reinterpret_cast<Bytef*>(output.data() + before);
            zlib.avail_out = uInt(kStep);
            const int status = deflate(&zlib, flush);
            output.resize(output.size() - qsizetype(zlib.avail_out));
            if (status == Z_STREAM_END)
                return true;
            if (status != Z_OK && status != Z_BUF_ERROR)
                return false;
            // Done with this input once zlib left output room unused and took everything.
            if (flush == Z_NO_FLUSH && zlib.avail_in == 0 && zlib.avail_out > 0)
                return true;
            if (status == Z_BUF_ERROR && zlib.avail_in == 0 && flush == Z_NO_FLUSH)
                return true;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace ptcdrop
