// SPDX-License-Identifier: MIT
// Fuzz target: the gunzipper on arbitrary bytes, whole and in chunks, and round trips.
#include "FuzzCheck.h"

#include "GunzipStream.h"
#include "Gzip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ptcdrop;
    const QByteArray bytes = fuzz::bytesOf(data, size);

    const std::optional<Gunzipped> whole = gunzippedMembers(bytes);
    if (bytes.isEmpty())
        FUZZ_CHECK(!whole);
    if (whole) {
        FUZZ_CHECK(gunzippedData(bytes) == whole->bytes);
        FUZZ_CHECK(quint64(whole->bytes.size()) <= 1032 * quint64(bytes.size()) + 1032);
        // Zero fill after the members changes nothing.
        const std::optional<Gunzipped> filled = gunzippedMembers(bytes + QByteArray(16, '\0'));
        FUZZ_CHECK(filled && filled->bytes == whole->bytes &&
                   filled->trailingBytes == whole->trailingBytes);
    }

    // The stream decodes the same whatever the chunks; the first byte picks their size.
    if (size > 0) {
        const qsizetype chunk = 1 + data[0] % 61;
        QByteArray output;
        GunzipStream stream([&](QByteArrayView decoded) {
            output.append(decoded);
            return true;
        });
        bool ok = true;
        for (qsizetype at = 0; ok && at < bytes.size(); at += chunk)
            ok = stream.feed(bytes.mid(at, chunk));
        ok = ok && stream.finish();
        FUZZ_CHECK(ok == whole.has_value());
        if (ok)
            FUZZ_CHECK(output == whole->bytes && stream.trailingBytes() == whole->trailingBytes);
    }

    // Packing with the switch on compresses a whole file; unpacking must give it back, also
    // with the zero fill of a container behind it and as one of several members.
    if (size > 0 && size <= 4096) {
        const std::optional<QByteArray> packed = gzippedData(bytes);
        FUZZ_CHECK(packed.has_value());
        FUZZ_CHECK(gunzippedData(*packed) == bytes);
        FUZZ_CHECK(gunzippedData(*packed + QByteArray(64, '\0')) == bytes);
        FUZZ_CHECK(gunzippedData(*packed + *packed) == bytes + bytes);
        // A stream or a second member cut short is never a result.
        FUZZ_CHECK(!gunzippedData(packed->first(packed->size() - 1)));
        FUZZ_CHECK(!gunzippedData(*packed + packed->first(packed->size() - 1)));
    }
    return 0;
}
