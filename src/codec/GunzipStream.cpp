// SPDX-License-Identifier: MIT
// The multi-member inflater on zlib. zlib counts input and output space in 32 bits, so a
// chunk is handed over in slices of at most 1 GiB.
#include "GunzipStream.h"

#include <zlib.h>

#include <algorithm>
#include <new>

namespace ptcdrop {
namespace {

constexpr qsizetype kSlice = qsizetype(1) << 30;
constexpr int kDetectWindowBits = 15 + 32; // 32 KiB window, gzip or zlib header
constexpr uInt kOutputStep = 64 * 1024;
constexpr unsigned char kMagic0 = 0x1f;
constexpr unsigned char kMagic1 = 0x8b;

} // namespace

struct GunzipStream::Inflater
{
    z_stream stream{};
    bool initialised = false;
    unsigned char output[kOutputStep];

    ~Inflater()
    {
        if (initialised)
            inflateEnd(&stream);
    }
};

GunzipStream::GunzipStream(Output output)
    : m_inflater(new (std::nothrow) Inflater), m_output(std::move(output))
{
    if (!m_inflater || inflateInit2(&m_inflater->stream, kDetectWindowBits) != Z_OK)
        m_phase = Phase::Failed;
    else
        m_inflater->initialised = true;
}

GunzipStream::~GunzipStream() = default;

bool GunzipStream::fail()
{
    m_phase = Phase::Failed;
    return false;
}

bool GunzipStream::feed(QByteArrayView chunk)
{
    while (!chunk.isEmpty() && m_phase != Phase::Failed) {
        qsizetype used = 0;
        switch (m_phase) {
        case Phase::InStream:
            used = inflateSome(chunk.first(std::min(chunk.size(), kSlice)));
            break;
        case Phase::BetweenMembers:
            used = decideAfterMember(chunk);
            break;
        case Phase::AfterMembers:
            scanTail(chunk);
            used = chunk.size();
            break;
        case Phase::Failed:
            break;
        }
        if (used < 0)
            return fail();
        chunk = chunk.sliced(used);
    }
    return m_phase != Phase::Failed;
}

// Inflates from the start of `input` until it is used up or the member ends; returns the
// bytes consumed, or -1 on failure.
qsizetype GunzipStream::inflateSome(QByteArrayView input)
{
    z_stream& stream = m_inflater->stream;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream.avail_in = uInt(input.size());
    int status = Z_OK;
    do {
        stream.next_out = m_inflater->output;
        stream.avail_out = kOutputStep;
        status = inflate(&stream, Z_SYNC_FLUSH);
        const uInt produced = kOutputStep - stream.avail_out;
        if (produced > 0 &&
            !m_output(QByteArrayView(reinterpret_cast<const char*>(m_inflater->output),
                                     qsizetype(produced))))
            return -1;
        if (status == Z_STREAM_END) {
            m_phase = Phase::BetweenMembers;
            break;
        }
        // Z_BUF_ERROR only says that no progress was possible: all input is used and the
        // output is flushed, so the member goes on in the next chunk.
        if (status == Z_BUF_ERROR)
            break;
        if (status != Z_OK)
            return -1; // damaged data, a wrong check value, a dictionary, no memory
    } while (stream.avail_in > 0 || stream.avail_out == 0);
    return input.size() - qsizetype(stream.avail_in);
}

// A member has ended: the gzip magic starts the next one; any other byte ends the members.
qsizetype GunzipStream::decideAfterMember(QByteArrayView input)
{
    const auto first = static_cast<unsigned char>(input[0]);
    if (!m_heldMagic) {
        if (first != kMagic0) {
            m_phase = Phase::AfterMembers;
            return 0;
        }
        if (input.size() == 1) {
            m_heldMagic = 1; // the next chunk decides
            return 1;
        }
    }
    const qsizetype secondAt = m_heldMagic ? 0 : 1;
    const bool member = static_cast<unsigned char>(input[secondAt]) == kMagic1;
    const qsizetype used = secondAt + 1;
    m_heldMagic = 0;
    if (!member) {
        // "1F" then something else: not a member, so both bytes are trailing bytes.
        m_trailingBytes = true;
        m_phase = Phase::AfterMembers;
        return used;
    }
    if (inflateReset(&m_inflater->stream) != Z_OK)
        return -1;
    m_phase = Phase::InStream;
    static const char magic[] = {char(kMagic0), char(kMagic1)};
    return inflateSome(QByteArrayView(magic, 2)) < 0 ? -1 : used;
}

void GunzipStream::scanTail(QByteArrayView input)
{
    if (!m_trailingBytes)
        m_trailingBytes = std::any_of(input.begin(), input.end(), [](char c) { return c != 0; });
}

bool GunzipStream::finish()
{
    switch (m_phase) {
    case Phase::InStream:
        // An empty input, or a stream or member cut short.
        return fail();
    case Phase::BetweenMembers:
        if (m_heldMagic)
            m_trailingBytes = true; // a lone 1F at the end begins no member
        m_heldMagic = 0;
        m_phase = Phase::AfterMembers;
        return true;
    case Phase::AfterMembers:
        return true;
    case Phase::Failed:
        return false;
    }
    return false;
}

} // namespace ptcdrop
