// SPDX-License-Identifier: MIT
// A streaming inflater for gzip members, one after another, as the gzip tool reads them.
#pragma once

#include <QByteArrayView>

#include <functional>
#include <memory>

namespace ptcdrop {

// Feed the compressed bytes in chunks of any size; the decoded bytes go to the output as
// they come. The input is one gzip member or one zlib stream, and then, for as long as the
// bytes after a complete member begin with the gzip magic (1F 8B), the next member. The
// first byte after a member that does not begin a member ends the decoding: zero bytes
// from there on are fill (a container's payload area ends in them), anything else is
// reported by trailingBytes() and not decoded.
//
// A member that has begun and is damaged or cut short fails the whole stream: bytes the
// output already received must then be discarded by the caller. Calls never throw.
//
//     GunzipStream stream([&](QByteArrayView bytes) { return sink.write(bytes); });
//     for (chunk : input) if (!stream.feed(chunk)) break;
//     if (stream.finish()) ... stream.trailingBytes() ...
class GunzipStream
{
public:
    // Receives each run of decoded bytes; the view is valid only during the call. Returning
    // false (a full disk, no memory) fails the stream.
    using Output = std::function<bool(QByteArrayView bytes)>;

    explicit GunzipStream(Output output);
    ~GunzipStream();
    GunzipStream(const GunzipStream&) = delete;
    GunzipStream& operator=(const GunzipStream&) = delete;

    // Decodes the next chunk. False once the stream has failed; later calls do nothing.
    bool feed(QByteArrayView chunk);

    // The input has ended. True when the first stream and every member after it were
    // complete; false when the stream failed, the input was empty or a member was cut short.
    bool finish();

    // After a successful finish(): bytes after the last member were neither a member nor
    // zero fill, and were left undecoded.
    bool trailingBytes() const { return m_trailingBytes; }

private:
    enum class Phase
    {
        InStream,       // inside the first stream or a member after it
        BetweenMembers, // a member just ended; the next bytes decide what follows
        AfterMembers,   // no further member: zero fill, perhaps followed by other bytes
        Failed,
    };

    qsizetype inflateSome(QByteArrayView input);
    qsizetype decideAfterMember(QByteArrayView input);
    void scanTail(QByteArrayView input);
    bool fail();

    struct Inflater;
    std::unique_ptr<Inflater> m_inflater;
    Output m_output;
    Phase m_phase = Phase::InStream;
    unsigned char m_heldMagic = 0; // 1 when a lone 1F byte ended the input so far
    bool m_trailingBytes = false;
};

} // namespace ptcdrop
