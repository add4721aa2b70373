// Fuzz target: the gunzipper on arbitrary bytes, and the round trip of small inputs.
#include "FuzzCheck.h"

#include "Gzip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace ptcdrop;
    const QByteArray bytes = fuzz::bytesOf(data, size);

    const std::optional<QByteArray> plain = gunzippedData(bytes);
    if (bytes.isEmpty())
        FUZZ_CHECK(!plain);
    // Only the first stream is read: anything after it changes nothing.
    if (plain) {
        FUZZ_CHECK(quint64(plain->size()) <= 1032 * quint64(bytes.size()) + 1032);
        FUZZ_CHECK(gunzippedData(bytes + QByteArray(16, '\0')) == plain);
    }

    // Packing with the switch on compresses a whole file; unpacking must give it back, also
    // with the zero fill of a container behind the stream.
    if (size > 0 && size <= 4096) {
        const std::optional<QByteArray> packed = gzippedData(bytes);
        FUZZ_CHECK(packed.has_value());
        FUZZ_CHECK(gunzippedData(*packed) == bytes);
        FUZZ_CHECK(gunzippedData(*packed + QByteArray(64, '\0')) == bytes);
        // A stream cut short is never a result.
        FUZZ_CHECK(!gunzippedData(packed->first(packed->size() - 1)));
    }
    return 0;
}
