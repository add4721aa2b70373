// SPDX-License-Identifier: MIT
// Streaming gzip compression: one gzip member fed in slices, the bytes of gzippedData.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

namespace ptcdrop {

// One gzip member with the parameters of gzippedData (zlib's default level, a 32 KiB
// window, memory level 8, the default strategy). zlib decides its blocks from the bytes
// alone, never from how they were sliced, so the member is byte for byte the one that
// gzippedData makes of the whole input at once.
class Deflater
{
public:
    Deflater();
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // False when zlib could not be set up or an earlier call failed.
    bool isValid() const { return m_valid; }

    // Compresses `input` and appends what zlib produced to `output`; false on failure.
    bool append(QByteArrayView input, QByteArray& output);
    // Ends the member and appends the rest of it to `output`; false on failure.
    bool finish(QByteArray& output);

private:
    bool run(QByteArrayView input, int flush, QByteArray& output);

    struct Stream;
    std::unique_ptr<Stream> m_stream;
    bool m_valid = false;
};

} // namespace ptcdrop
