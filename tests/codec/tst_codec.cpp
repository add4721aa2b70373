// SPDX-License-Identifier: MIT
// Tests of the field readers and appenders and of the gzip codec.
#include "Deflater.h"
#include "ExactBuffer.h"
#include "GunzipStream.h"
#include "Gzip.h"
#include "Pack.h"
#include "TestBytes.h"
#include "UnPack.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <zlib.h>

#include <sys/resource.h>

#include <fstream>

#include <limits>
#include <optional>

using namespace ptcdrop;

namespace {

constexpr quint64 kMaxOffset = std::numeric_limits<quint64>::max();

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int value : values)
        result.append(char(value));
    return result;
}

// Words from a small vocabulary: compresses, and differently at every zlib level.
QByteArray wordText(qsizetype count, quint32 seed)
{
    static const char* const words[] = {"drop", "file",  "piece", "name",   "gzip",   "zero",
                                        "fill", "field", "tag",   "digest", "buffer", "\n"};
    QRandomGenerator generator(seed);
    QByteArray result;
    while (result.size() < count) {
        result.append(words[generator.bounded(int(std::size(words)))]);
        result.append(' ');
    }
    result.truncate(count);
    return result;
}

// What one deflate call over the whole input writes with the codec's parameters; the
// codec must produce exactly these bytes.
QByteArray referenceGzip(const QByteArray& input, int zlibLevel)
{
    z_stream stream{};
    if (deflateInit2(&stream, zlibLevel, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray output(qsizetype(deflateBound(&stream, uLong(input.size())) + 64),
                      Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
    stream.avail_in = uInt(input.size());
    stream.next_out = reinterpret_cast<Bytef*>(output.data());
    stream.avail_out = uInt(output.size());
    const int status = deflate(&stream, Z_FINISH);
    output.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return status == Z_STREAM_END ? output : QByteArray();
}

QByteArray zlibWrapped(const QByteArray& input)
{
    uLongf length = compressBound(uLong(input.size()));
    QByteArray output(qsizetype(length), Qt::Uninitialized);
    compress2(reinterpret_cast<Bytef*>(output.data()), &length,
              reinterpret_cast<const Bytef*>(input.constData()), uLong(input.size()), 6);
    output.truncate(qsizetype(length));
    return output;
}

// A zlib stream that can only be inflated with a preset dictionary.
QByteArray zlibWithDictionary(const QByteArray& input)
{
    z_stream stream{};
    deflateInit(&stream, 6);
    static const char dictionary[] = "piece name gzip";
    deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(dictionary),
                         uInt(sizeof dictionary - 1));
    QByteArray output(qsizetype(deflateBound(&stream, uLong(input.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
    stream.avail_in = uInt(input.size());
    stream.next_out = reinterpret_cast<Bytef*>(output.data());
    stream.avail_out = uInt(output.size());
    deflate(&stream, Z_FINISH);
    output.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return output;
}

QByteArray withByteChanged(QByteArray data, qsizetype position)
{
    data[position] = char(data[position] ^ 0x5A);
    return data;
}

QByteArray gzipOrEmpty(const QByteArray& input)
{
    return gzippedData(input).value_or(QByteArray());
}

} // namespace

class TestCodec : public QObject
{
    Q_OBJECT

private slots:
    void integerReaders_data();
    void integerReaders();
    void stringReader_data();
    void stringReader();
    void rangeCopy_data();
    void rangeCopy();

    void integerAppenders_data();
    void integerAppenders();
    void stringAppender_data();
    void stringAppender();
    void seekFills_data();
    void seekFills();
    void appendersPlaceFieldsAtOffsets();

    void gzipRoundTrip_data();
    void gzipRoundTrip();
    void compressionLevels_data();
    void compressionLevels();
    void gunzipDecodes_data();
    void gunzipDecodes();
    void gunzipNoResult_data();
    void gunzipNoResult();
    void gunzipMembers_data();
    void gunzipMembers();
    void gunzipStreamOutputRefuses();
    void gunzipOutputFillsFirstBufferExactly();
    void gunzipLargeExpansion();
    void gunzipOutOfMemory();
    void gzipToolReadsOurStreams_data();
    void gzipToolReadsOurStreams();
    void gzipToolStreamsDecode();
    void deflaterMatchesWholeBuffer_data();
    void deflaterMatchesWholeBuffer();
};

void TestCodec::integerReaders_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint64>("offset");
    QTest::addColumn<quint32>("n2");
    QTest::addColumn<quint32>("N4");
    QTest::addColumn<quint32>("v2");
    QTest::addColumn<quint32>("V4");

    const QByteArray header = QByteArray("PX01") + bytes({0x0C, 0xC0, 0, 0, 2});
    // clang-format off
    QTest::newRow("data size field")  << header                 << quint64(4) << 0x0CC0u << 0x0CC00000u << 49164u  << 0x0000C00Cu;
    QTest::newRow("00 01 02 03")      << bytes({0, 1, 2, 3})    << quint64(0) << 0x0001u << 0x10203u    << 0x0100u << 0x3020100u;
    QTest::newRow("all bits set")     << bytes({255, 255, 255, 255}) << quint64(0) << 0xFFFFu << 0xFFFFFFFFu << 0xFFFFu << 0xFFFFFFFFu;
    QTest::newRow("high bytes")       << bytes({0x80, 0, 0, 0x80}) << quint64(0) << 0x8000u << 0x80000080u << 0x0080u << 0x80000080u;
    // A field that runs past the end reads the missing bytes as zero.
    QTest::newRow("last byte")        << bytes({1, 2, 3})       << quint64(2) << 0x0300u << 0x03000000u << 0x0003u << 0x00000003u;
    QTest::newRow("two of four")      << bytes({1, 2, 3})       << quint64(1) << 0x0203u << 0x02030000u << 0x0302u << 0x00000302u;
    QTest::newRow("offset at end")    << bytes({1, 2, 3})       << quint64(3) << 0u << 0u << 0u << 0u;
    QTest::newRow("empty buffer")     << QByteArray()           << quint64(0) << 0u << 0u << 0u << 0u;
    QTest::newRow("offset past 2^32") << bytes({1, 2, 3})       << (quint64(1) << 32) << 0u << 0u << 0u << 0u;
    // offset + 1 must not wrap round to the start of the buffer.
    QTest::newRow("largest offset")   << bytes({1, 2, 3})       << kMaxOffset << 0u << 0u << 0u << 0u;
    QTest::newRow("largest - 1")      << bytes({1, 2, 3})       << kMaxOffset - 1 << 0u << 0u << 0u << 0u;
    // clang-format on
}

void TestCodec::integerReaders()
{
    QFETCH(QByteArray, data);
    QFETCH(quint64, offset);
    const ExactBuffer exact(data);

    QFETCH(quint32, n2);
    QFETCH(quint32, N4);
    QFETCH(quint32, v2);
    QFETCH(quint32, V4);

    QCOMPARE(pack_n2(exact.bytes(), offset), n2);
    QCOMPARE(pack_N4(exact.bytes(), offset), N4);
    QCOMPARE(pack_v2(exact.bytes(), offset), v2);
    QCOMPARE(pack_V4(exact.bytes(), offset), V4);
}

void TestCodec::stringReader_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint64>("offset");
    QTest::addColumn<quint64>("length");
    QTest::addColumn<QByteArray>("expected"); // length + 1 bytes

    QByteArray container = zeros(48);
    container.replace(0, 4, "PX01");
    container.replace(45, 3, "GRP");
    const QByteArray ten = "0123456789";
    // clang-format off
    QTest::newRow("resource tag")      << container << quint64(45) << quint64(3) << QByteArray("GRP\0", 4);
    QTest::newRow("signature")         << container << quint64(0)  << quint64(4) << QByteArray("PX01\0", 5);
    QTest::newRow("zero byte inside")  << QByteArray("A\0B", 3) << quint64(0) << quint64(3) << QByteArray("A\0B\0", 4);
    QTest::newRow("length 0")          << ten << quint64(3)  << quint64(0) << QByteArray(1, '\0');
    QTest::newRow("whole buffer")      << ten << quint64(0)  << quint64(10) << ten + '\0';
    QTest::newRow("runs past the end") << ten << quint64(8)  << quint64(5) << QByteArray("89\0\0\0\0", 6);
    QTest::newRow("offset at end")     << ten << quint64(10) << quint64(2) << zeros(3);
    QTest::newRow("offset past end")   << ten << quint64(40) << quint64(2) << zeros(3);
    QTest::newRow("largest offset")    << ten << kMaxOffset  << quint64(2) << zeros(3);
    QTest::newRow("empty buffer")      << QByteArray() << quint64(0) << quint64(3) << zeros(4);
    // clang-format on
}

void TestCodec::stringReader()
{
    QFETCH(QByteArray, data);
    QFETCH(quint64, offset);
    QFETCH(quint64, length);
    QFETCH(QByteArray, expected);
    const ExactBuffer exact(data);

    // Guard bytes after the destination's length + 1 bytes must stay untouched.
    constexpr char guard = char(0xA5);
    QByteArray destination(qsizetype(length) + 1 + 8, guard);
    pack_a(exact.bytes(), offset, destination.data(), length);

    QCOMPARE(destination.first(qsizetype(length) + 1), expected);
    QCOMPARE(destination.sliced(qsizetype(length) + 1), QByteArray(8, guard));
}

void TestCodec::rangeCopy_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint64>("offset");
    QTest::addColumn<quint64>("length");
    QTest::addColumn<std::optional<QByteArray>>("expected");

    const QByteArray ten = "0123456789";
    const std::optional<QByteArray> none;
    // clang-format off
    QTest::newRow("inside")            << ten << quint64(2)  << quint64(3)  << std::optional(QByteArray("234"));
    QTest::newRow("0 means to the end") << ten << quint64(2) << quint64(0)  << std::optional(QByteArray("23456789"));
    QTest::newRow("whole buffer")      << ten << quint64(0)  << quint64(0)  << std::optional(ten);
    QTest::newRow("exactly to the end") << ten << quint64(7) << quint64(3)  << std::optional(QByteArray("789"));
    QTest::newRow("cut at the end")    << ten << quint64(8)  << quint64(5)  << std::optional(QByteArray("89"));
    QTest::newRow("length near 2^64")  << ten << quint64(2)  << kMaxOffset  << std::optional(QByteArray("23456789"));
    QTest::newRow("at end, length 0")  << ten << quint64(10) << quint64(0)  << std::optional(QByteArray(""));
    QTest::newRow("at end, length 1")  << ten << quint64(10) << quint64(1)  << none;
    QTest::newRow("past end")          << ten << quint64(12) << quint64(0)  << none;
    QTest::newRow("largest offset")    << ten << kMaxOffset  << quint64(1)  << none;
    QTest::newRow("empty, length 0")   << QByteArray() << quint64(0) << quint64(0) << std::optional(QByteArray(""));
    QTest::newRow("empty, length 1")   << QByteArray() << quint64(0) << quint64(1) << none;
    // clang-format on
}

void TestCodec::rangeCopy()
{
    QFETCH(QByteArray, data);
    QFETCH(quint64, offset);
    QFETCH(quint64, length);
    QFETCH(std::optional<QByteArray>, expected);
    const ExactBuffer exact(data);

    const std::optional<QByteArray> copy = ptcdrop::malloc(exact.bytes(), offset, length);

    QCOMPARE(copy.has_value(), expected.has_value());
    if (copy) {
        QCOMPARE(*copy, *expected);
        // An owned copy, not a view of the caller's buffer.
        QVERIFY(copy->isDetached() || copy->isEmpty());
    }
}

void TestCodec::integerAppenders_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<quint64>("value");
    QTest::addColumn<QByteArray>("appended");
    QTest::addColumn<quint32>("readBack"); // what the matching reader gives for it

    // clang-format off
    QTest::newRow("v2 49164")       << QByteArray("v2") << quint64(49164)      << bytes({0x0C, 0xC0})         << 49164u;
    QTest::newRow("n2 49164")       << QByteArray("n2") << quint64(49164)      << bytes({0xC0, 0x0C})         << 49164u;
    QTest::newRow("v2 high bits")   << QByteArray("v2") << quint64(0x12345)    << bytes({0x45, 0x23})         << 0x2345u;
    QTest::newRow("n2 high bits")   << QByteArray("n2") << quint64(0x12345)    << bytes({0x23, 0x45})         << 0x2345u;
    QTest::newRow("N4 0x10203")     << QByteArray("N4") << quint64(0x10203)    << bytes({0, 1, 2, 3})         << 0x10203u;
    QTest::newRow("V4 0x10203")     << QByteArray("V4") << quint64(0x10203)    << bytes({3, 2, 1, 0})         << 0x10203u;
    QTest::newRow("V4 all bits")    << QByteArray("V4") << quint64(0xFFFFFFFF) << bytes({255, 255, 255, 255}) << 0xFFFFFFFFu;
    QTest::newRow("N4 0x80000001")  << QByteArray("N4") << quint64(0x80000001) << bytes({0x80, 0, 0, 1})      << 0x80000001u;
    QTest::newRow("C 0x1FF")        << QByteArray("C")  << quint64(0x1FF)      << bytes({0xFF})               << 0xFFu;
    QTest::newRow("C 0")            << QByteArray("C")  << quint64(0)          << bytes({0})                  << 0u;
    QTest::newRow("C high 64 bits") << QByteArray("C")  << quint64(0xFFFFFFFF00000041) << QByteArray("A")     << 0x41u;
    // clang-format on
}

void TestCodec::integerAppenders()
{
    QFETCH(QByteArray, field);
    QFETCH(quint64, value);
    QFETCH(QByteArray, appended);
    QFETCH(quint32, readBack);

    const QByteArray before = bytes({0xAA, 0x00, 0xBB});
    QByteArray data = before;
    quint32 read = 0;
    if (field == "n2") {
        unpack_n2(data, quint32(value));
        read = pack_n2(data, quint64(before.size()));
    } else if (field == "N4") {
        unpack_N4(data, quint32(value));
        read = pack_N4(data, quint64(before.size()));
    } else if (field == "v2") {
        unpack_v2(data, quint32(value));
        read = pack_v2(data, quint64(before.size()));
    } else if (field == "V4") {
        unpack_V4(data, quint32(value));
        read = pack_V4(data, quint64(before.size()));
    } else {
        unpack_C(data, value);
        read = quint8(data.back());
    }

    QCOMPARE(data, before + appended);
    QCOMPARE(read, readBack);
}

void TestCodec::stringAppender_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint64>("width");
    QTest::addColumn<QByteArray>("appended");

    // clang-format off
    QTest::newRow("fills the width")  << QByteArray("PX01")         << quint64(4)  << QByteArray("PX01");
    QTest::newRow("zero filled")      << QByteArray("AB")           << quint64(8)  << QByteArray("AB\0\0\0\0\0\0", 8);
    QTest::newRow("cut to width")     << QByteArray("ABCDEFGHIJ")   << quint64(8)  << QByteArray("ABCDEFGH");
    QTest::newRow("empty text")       << QByteArray("")             << quint64(3)  << zeros(3);
    QTest::newRow("width 0")          << QByteArray("PX01")         << quint64(0)  << QByteArray();
    QTest::newRow("resource header")  << QByteArray("PETC0100RGRP") << quint64(12) << QByteArray("PETC0100RGRP");
    // The text ends at its first zero byte, whatever follows it.
    QTest::newRow("stops at zero")    << QByteArray("AB\0CD", 5)    << quint64(5)  << QByteArray("AB\0\0\0", 5);
    QTest::newRow("multi-byte cut")   << QByteArray("\xC3\x84\xC3\x84\xC3") << quint64(3) << QByteArray("\xC3\x84\xC3");
    // clang-format on
}

void TestCodec::stringAppender()
{
    QFETCH(QByteArray, text);
    QFETCH(quint64, width);
    QFETCH(QByteArray, appended);

    const QByteArray before("xy");
    QByteArray data = before;
    unpack(data, text, width);
    QCOMPARE(data, before + appended);
}

void TestCodec::seekFills_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint32>("target");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray nine = "ABCDEFGHI";
    // clang-format off
    QTest::newRow("shorter: filled")  << nine                  << 12u << nine + zeros(3);
    QTest::newRow("equal: unchanged") << QByteArray("ABCDEFGH") << 8u << QByteArray("ABCDEFGH");
    QTest::newRow("longer: kept")     << QByteArray("ABCDEFGHIJ") << 8u << QByteArray("ABCDEFGHIJ");
    QTest::newRow("target 0")         << nine                  << 0u  << nine;
    QTest::newRow("one byte to go")   << nine                  << 10u << nine + zeros(1);
    QTest::newRow("empty to 0")       << QByteArray()          << 0u  << QByteArray();
    QTest::newRow("empty to 5")       << QByteArray()          << 5u  << zeros(5);
    QTest::newRow("to a container")   << QByteArray("A")       << 49200u << QByteArray("A") + zeros(49199);
    // clang-format on
}

void TestCodec::seekFills()
{
    QFETCH(QByteArray, data);
    QFETCH(quint32, target);
    QFETCH(QByteArray, expected);

    seek(data, target);
    QCOMPARE(data, expected);
}

void TestCodec::appendersPlaceFieldsAtOffsets()
{
    QByteArray data;
    unpack(data, "PX01", 4);
    unpack_v2(data, 49164);
    seek(data, 8);
    QCOMPARE(data, QByteArray("PX01") + bytes({0x0C, 0xC0, 0, 0}));
}

void TestCodec::gzipRoundTrip_data()
{
    QTest::addColumn<QByteArray>("input");

    QTest::newRow("1 byte") << QByteArray("A");
    QTest::newRow("1 zero byte") << zeros(1);
    QTest::newRow("text") << wordText(5000, 1);
    // Compresses to more than one 16384-byte output step.
    QTest::newRow("incompressible 40000") << randomBytes(40000, 2);
    QTest::newRow("incompressible 16384") << randomBytes(16384, 3);
    QTest::newRow("incompressible 1 MiB") << randomBytes(1 << 20, 4);
    QTest::newRow("zeros 1 MiB") << zeros(1 << 20);
}

void TestCodec::gzipRoundTrip()
{
    QFETCH(QByteArray, input);

    const std::optional<QByteArray> compressed = gzippedData(input);
    QVERIFY(compressed);
    QVERIFY(compressed->startsWith(bytes({0x1F, 0x8B, 0x08})));
    QCOMPARE(*compressed, referenceGzip(input, Z_DEFAULT_COMPRESSION));

    const std::optional<QByteArray> restored = gunzippedData(*compressed);
    QVERIFY(restored);
    QCOMPARE(*restored, input);
}

void TestCodec::compressionLevels_data()
{
    QTest::addColumn<float>("level");
    QTest::addColumn<int>("zlibLevel"); // -2: no result

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    // clang-format off
    QTest::newRow("-1.0 default")     << -1.0f    << Z_DEFAULT_COMPRESSION;
    QTest::newRow("-0.01 default")    << -0.01f   << Z_DEFAULT_COMPRESSION;
    QTest::newRow("-infinity")        << -infinity << Z_DEFAULT_COMPRESSION;
    QTest::newRow("0.0 stored")       << 0.0f     << 0;
    QTest::newRow("0.05 -> 0.45 -> 0") << 0.05f   << 0;
    QTest::newRow("0.06 -> 0.54 -> 1") << 0.06f   << 1;
    QTest::newRow("0.5 -> 4.5 -> 5")  << 0.5f     << 5;  // halves away from zero
    QTest::newRow("0.75 -> 6.75 -> 7") << 0.75f   << 7;
    QTest::newRow("1.0 -> 9")         << 1.0f     << 9;
    QTest::newRow("1.05 -> 9.45 -> 9") << 1.05f   << 9;
    QTest::newRow("1.06 -> 9.54 -> 10") << 1.06f  << -2;
    QTest::newRow("2.0 -> 18")        << 2.0f     << -2;
    QTest::newRow("infinity")         << infinity << -2;
    QTest::newRow("NaN")              << nan      << -2;
    // clang-format on
}

void TestCodec::compressionLevels()
{
    QFETCH(float, level);
    QFETCH(int, zlibLevel);

    const QByteArray input = wordText(60000, 5);
    const std::optional<QByteArray> compressed = gzippedDataWithCompressionLevel(input, level);
    if (zlibLevel == -2) {
        QVERIFY(!compressed);
        return;
    }
    QVERIFY(compressed);
    QCOMPARE(*compressed, referenceGzip(input, zlibLevel));
    if (zlibLevel == 0)
        QVERIFY(compressed->size() > input.size()); // stored blocks only
    QCOMPARE(gunzippedData(*compressed), std::optional(input));
}

void TestCodec::gunzipDecodes_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray text = wordText(3000, 6);
    const QByteArray gzip = gzipOrEmpty(text);
    // clang-format off
    QTest::newRow("zlib wrapped")        << zlibWrapped(text)                 << text;
    QTest::newRow("zlib wrapped, empty") << zlibWrapped(QByteArray())         << QByteArray();
    QTest::newRow("empty member")        << referenceGzip(QByteArray(), 6)     << QByteArray();
    // Decoding stops at the zero fill of a container, or at other bytes after the stream.
    QTest::newRow("zero bytes after")    << gzip + zeros(1000)                << text;
    QTest::newRow("one zero byte after") << gzip + zeros(1)                   << text;
    QTest::newRow("garbage after")       << gzip + QByteArray("not a stream") << text;
    // clang-format on
}

void TestCodec::gunzipDecodes()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArray, expected);

    const std::optional<QByteArray> result = gunzippedData(ExactBuffer(stream).bytes());
    QVERIFY(result);
    QCOMPARE(*result, expected);
}

void TestCodec::gunzipNoResult_data()
{
    QTest::addColumn<QByteArray>("input");

    const QByteArray text = wordText(3000, 7);
    const QByteArray gzip = gzipOrEmpty(text);
    const QByteArray zlib = zlibWrapped(text);
    // clang-format off
    QTest::newRow("empty")                 << QByteArray();
    QTest::newRow("1 byte")                << QByteArray("\x1F");
    QTest::newRow("gzip magic only")       << bytes({0x1F, 0x8B});
    QTest::newRow("gzip header only")      << gzip.first(10);
    QTest::newRow("lacks its last byte")   << gzip.chopped(1);
    QTest::newRow("lacks its trailer")     << gzip.chopped(8);
    QTest::newRow("cut in half")           << gzip.first(gzip.size() / 2);
    QTest::newRow("CRC-32 changed")        << withByteChanged(gzip, gzip.size() - 8);
    QTest::newRow("length changed")        << withByteChanged(gzip, gzip.size() - 1);
    QTest::newRow("deflate data changed")  << withByteChanged(gzip, 40);
    QTest::newRow("not a stream")          << QByteArray("This is plain text, not a stream.");
    QTest::newRow("zeros")                 << zeros(49152);
    QTest::newRow("zlib lacks last byte")  << zlib.chopped(1);
    QTest::newRow("zlib Adler-32 changed") << withByteChanged(zlib, zlib.size() - 1);
    QTest::newRow("needs a dictionary")    << zlibWithDictionary(text);
    // clang-format on
}

void TestCodec::gunzipNoResult()
{
    QFETCH(QByteArray, input);
    QVERIFY(!gunzippedData(ExactBuffer(input).bytes()));
    if (input.isEmpty())
        QVERIFY(!gzippedData(input));
}

// Concatenated members decode one after another, as the gzip tool reads them, whether the
// bytes come whole or in chunks of any size.
void TestCodec::gunzipMembers_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<std::optional<QByteArray>>("expected");
    QTest::addColumn<bool>("trailingBytes");

    const QByteArray first = wordText(3000, 12);
    const QByteArray second = randomBytes(700, 13);
    const QByteArray a = gzipOrEmpty(first);
    const QByteArray b = gzipOrEmpty(second);
    const QByteArray empty = referenceGzip(QByteArray(), 6);
    const std::optional<QByteArray> none;
    // clang-format off
    QTest::newRow("one member")                  << a                            << std::optional(first)                  << false;
    QTest::newRow("two members")                 << a + b                        << std::optional(first + second)         << false;
    QTest::newRow("three, one of them empty")    << a + empty + b                << std::optional(first + second)         << false;
    QTest::newRow("two members, zero fill")      << a + b + zeros(40000)         << std::optional(first + second)         << false;
    QTest::newRow("zlib stream, then a member")  << zlibWrapped(first) + b       << std::optional(first + second)         << false;
    QTest::newRow("a member after zero fill")    << a + zeros(2) + b             << std::optional(first)                  << true;
    QTest::newRow("other bytes after")           << a + QByteArray("tail")       << std::optional(first)                  << true;
    QTest::newRow("other bytes after two")       << a + b + QByteArray("tail")   << std::optional(first + second)         << true;
    QTest::newRow("a lone magic byte after")     << a + bytes({0x1F})            << std::optional(first)                  << true;
    QTest::newRow("half the magic, then zeros")  << a + bytes({0x1F, 0}) + zeros(9) << std::optional(first)              << true;
    QTest::newRow("second member cut short")     << a + b.chopped(1)             << none                                  << false;
    QTest::newRow("second member magic only")    << a + bytes({0x1F, 0x8B})      << none                                  << false;
    QTest::newRow("second member, then zeros")   << a + bytes({0x1F, 0x8B}) + zeros(100) << none                          << false;
    QTest::newRow("second member CRC changed")   << a + withByteChanged(b, b.size() - 8) << none                          << false;
    QTest::newRow("first member damaged")        << withByteChanged(a, 40) + b   << none                                  << false;
    // clang-format on
}

void TestCodec::gunzipMembers()
{
    QFETCH(QByteArray, input);
    QFETCH(std::optional<QByteArray>, expected);
    QFETCH(bool, trailingBytes);

    QCOMPARE(gunzippedData(ExactBuffer(input).bytes()), expected);
    const std::optional<Gunzipped> whole = gunzippedMembers(input);
    QCOMPARE(whole.has_value(), expected.has_value());
    if (whole)
        QCOMPARE(whole->trailingBytes, trailingBytes);

    for (const qsizetype chunk : {qsizetype(1), qsizetype(2), qsizetype(3), qsizetype(4096)}) {
        QByteArray output;
        GunzipStream stream([&](QByteArrayView bytes) {
            output.append(bytes);
            return true;
        });
        bool fed = true;
        for (qsizetype at = 0; fed && at < input.size(); at += chunk) {
            const ExactBuffer piece(input.mid(at, chunk));
            fed = stream.feed(piece.bytes());
        }
        const bool finished = fed && stream.finish();
        QCOMPARE(finished, expected.has_value());
        if (finished) {
            QCOMPARE(output, *expected);
            QCOMPARE(stream.trailingBytes(), trailingBytes);
        }
    }
}

// The output refusing bytes fails the stream, and feeding stops there.
void TestCodec::gunzipStreamOutputRefuses()
{
    const QByteArray input = gzipOrEmpty(wordText(300000, 14));
    int calls = 0;
    GunzipStream stream([&](QByteArrayView) { return ++calls < 2; });
    QVERIFY(!stream.feed(input));
    QCOMPARE(calls, 2);
    QVERIFY(!stream.feed(input));
    QVERIFY(!stream.finish());
    QCOMPARE(calls, 2);
}

// The output buffer starts at one and a half times the input; a stream whose output is
// exactly that long ends just as the buffer fills up.
void TestCodec::gunzipOutputFillsFirstBufferExactly()
{
    const QByteArray head = randomBytes(2000, 8);
    for (qsizetype fill = 0; fill < 20000; ++fill) {
        const QByteArray input = head + zeros(fill);
        const QByteArray stream = referenceGzip(input, 9);
        if (input.size() != qsizetype(double(stream.size()) * 1.5))
            continue;
        QCOMPARE(gunzippedData(stream), std::optional(input));
        return;
    }
    QFAIL("no input of that length found");
}

// About 40 KiB of stream for 40 MiB of output, close to deflate's largest expansion.
void TestCodec::gunzipLargeExpansion()
{
    QByteArray input = zeros(40 << 20);
    input.replace(0, 5, "first");
    input.replace(input.size() - 4, 4, "last");
    const std::optional<QByteArray> stream = gzippedDataWithCompressionLevel(input, 1.0f);
    QVERIFY(stream);
    QVERIFY(stream->size() < 48 * 1024);

    const std::optional<QByteArray> restored = gunzippedData(*stream);
    QVERIFY(restored);
    QCOMPARE(restored->size(), input.size());
    QVERIFY(*restored == input);
}

// Running out of memory while the output grows is "no result", not an exception that ends
// the program.
void TestCodec::gunzipOutOfMemory()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer reserves far more address space than any limit leaves");
#endif
    QByteArray input = zeros(128 << 20);
    const std::optional<QByteArray> stream = gzippedDataWithCompressionLevel(input, 1.0f);
    QVERIFY(stream);
    input.clear();
    input.squeeze();

    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    QVERIFY(pages > 0);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(pages) * 4096 + (32 << 20);
    QCOMPARE(setrlimit(RLIMIT_AS, &limited), 0);
    const bool gotResult = gunzippedData(*stream).has_value();
    setrlimit(RLIMIT_AS, &saved);

    QVERIFY(!gotResult);
}

void TestCodec::gzipToolReadsOurStreams_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<float>("level");

    QTest::newRow("text, default level") << wordText(100000, 9) << -1.0f;
    QTest::newRow("random, stored") << randomBytes(70000, 10) << 0.0f;
    QTest::newRow("zeros, level 9") << zeros(1 << 20) << 1.0f;
    QTest::newRow("1 byte") << QByteArray("x") << 0.5f;
}

// A different inflater, the system's gzip tool, must accept what we write.
void TestCodec::gzipToolReadsOurStreams()
{
    QFETCH(QByteArray, input);
    QFETCH(float, level);
    const QString gzipTool = QStandardPaths::findExecutable("gzip");
    if (gzipTool.isEmpty())
        QSKIP("no gzip tool on this machine");

    const std::optional<QByteArray> stream = gzippedDataWithCompressionLevel(input, level);
    QVERIFY(stream);

    QProcess gzip;
    gzip.start(gzipTool, {"-d", "-c"});
    QVERIFY(gzip.waitForStarted());
    gzip.write(*stream);
    gzip.closeWriteChannel();
    QVERIFY(gzip.waitForFinished(60000));
    QCOMPARE(gzip.exitStatus(), QProcess::NormalExit);
    QCOMPARE(gzip.exitCode(), 0);
    QCOMPARE(gzip.readAllStandardOutput(), input);
}

// And we read what it writes, including the file name it puts in the header.
void TestCodec::gzipToolStreamsDecode()
{
    const QString gzipTool = QStandardPaths::findExecutable("gzip");
    if (gzipTool.isEmpty())
        QSKIP("no gzip tool on this machine");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray input = wordText(200000, 11);
    QFile file(dir.filePath("notes.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(input), input.size());
    file.close();

    QProcess gzip;
    gzip.start(gzipTool, {"-9", "-c", "-N", file.fileName()});
    QVERIFY(gzip.waitForFinished(60000));
    QCOMPARE(gzip.exitCode(), 0);
    const QByteArray stream = gzip.readAllStandardOutput();
    QVERIFY(stream.size() > 10 && (stream[3] & 0x08)); // the header names the file

    QCOMPARE(gunzippedData(stream), std::optional(input));
}

// The streaming compressor gives the whole-buffer compressor's member byte for byte,
// however the input is sliced: packing streams a file, and its pieces depend on every byte.
void TestCodec::deflaterMatchesWholeBuffer_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qsizetype>("slice");
    QByteArray text;
    for (int line = 0; text.size() < (3 << 20); ++line)
        text += "entry " + QByteArray::number(line % 251) + " of the log, kept\n";
    // clang-format off
    QTest::newRow("one byte")               << QByteArray("x")                 << qsizetype(1);
    QTest::newRow("noise, byte by byte")    << randomBytes(70000, 3)           << qsizetype(1);
    QTest::newRow("noise, odd slices")      << randomBytes(300000, 4)          << qsizetype(4099);
    QTest::newRow("zeros, 64 KiB slices")   << zeros(1 << 20)                  << qsizetype(65536);
    QTest::newRow("text, 1 MiB slices")     << text                            << qsizetype(1 << 20);
    QTest::newRow("text, uneven slices")    << text                            << qsizetype(12345);
    QTest::newRow("text, one slice")        << text                            << text.size();
    // clang-format on
}

void TestCodec::deflaterMatchesWholeBuffer()
{
    QFETCH(QByteArray, input);
    QFETCH(qsizetype, slice);

    Deflater deflater;
    QVERIFY(deflater.isValid());
    QByteArray streamed;
    for (qsizetype at = 0; at < input.size(); at += slice)
        QVERIFY(deflater.append(
            QByteArrayView(input).sliced(at, std::min(slice, input.size() - at)), streamed));
    QVERIFY(deflater.finish(streamed));
    QCOMPARE(streamed, gzippedData(input).value());
}

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
