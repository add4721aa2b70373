// SPDX-License-Identifier: MIT
// The gzip codec on an input of more than 4 GiB, beyond zlib's 32-bit counts.
#include "Gzip.h"
#include "Pack.h"

#include <QTest>

using namespace ptcdrop;

class TestCodecLarge : public QObject
{
    Q_OBJECT

private slots:
    void roundTripAbove4GiB();
};

void TestCodecLarge::roundTripAbove4GiB()
{
    const qsizetype size = (qsizetype(1) << 32) + 7;
    QByteArray input(size, '\0');
    // Markers at the start, across the 4 GiB boundary and at the very end: a count that
    // wrapped at 32 bits would lose or misplace one of them.
    input.replace(0, 5, "start");
    input.replace((qsizetype(1) << 32) - 3, 6, "across");
    input.replace(size - 3, 3, "end");

    std::optional<QByteArray> stream = gzippedData(input);
    QVERIFY(stream);
    QVERIFY(stream->startsWith("\x1F\x8B\x08"));
    // The gzip trailer stores the length modulo 2^32.
    QCOMPARE(pack_V4(*stream, quint64(stream->size() - 4)), quint32(size));

    std::optional<QByteArray> restored = gunzippedData(*stream);
    stream.reset();
    QVERIFY(restored);
    QCOMPARE(restored->size(), size);
    QVERIFY(*restored == input);
}

QTEST_GUILESS_MAIN(TestCodecLarge)
#include "tst_codec_large.moc"
