// SPDX-License-Identifier: MIT
// Tests of the container builder and of the fields readers take from a container.
#include "ContainerBuilder.h"
#include "ExactBuffer.h"
#include "TestBytes.h"
#include "PtcFormat.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>

using namespace ptcdrop;

namespace {

// The layout is spelt out here in literals, apart from the code's own constants, so that a
// wrong constant there shows up as a difference.
const QByteArray kResourceHeader = "PETC0100RGRP";

QByteArray expectedDigest(const QByteArray& payload)
{
    return QCryptographicHash::hash(QByteArray("MIRELKAS") + kResourceHeader + payload +
                                        zeros(49152 - payload.size()),
                                    QCryptographicHash::Md5);
}

} // namespace

class TestContainer : public QObject
{
    Q_OBJECT

private slots:
    void emptyPayloadNamedA();
    void layout_data();
    void layout();
    void namesChangeOnlyTheNameField();
    void digestCoversPayloadNotName();
    void fieldsOfShortFiles_data();
    void fieldsOfShortFiles();
};

// The whole container, byte by byte; the digest was worked out separately with md5sum over
// "MIRELKAS", "PETC0100RGRP" and 49152 zero bytes.
void TestContainer::emptyPayloadNamedA()
{
    const QByteArray expected = QByteArray("PX01") + QByteArray("\x0C\xC0\0\0\x02\0\0\0", 8) +
                                QByteArray("A\0\0\0\0\0\0\0", 8) +
                                QByteArray::fromHex("c210b257213b3c34d30708bf3d2255cf") +
                                kResourceHeader + zeros(49152);
    QCOMPARE(expected.size(), 49200);

    QCOMPARE(convertDataToPTC(QByteArray(), "A"), expected);
}

void TestContainer::layout_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("nameField"); // bytes 12-19

    const QByteArray full = randomBytes(49152, 1);
    // clang-format off
    QTest::newRow("empty payload")     << QByteArray()          << QByteArray("A")           << QByteArray("A\0\0\0\0\0\0\0", 8);
    QTest::newRow("1 byte")            << QByteArray("\xFF")    << QByteArray("NOTES")       << QByteArray("NOTES\0\0\0", 8);
    QTest::newRow("1 zero byte")       << zeros(1)              << QByteArray("NOTES")       << QByteArray("NOTES\0\0\0", 8);
    QTest::newRow("one short of full") << full.chopped(1)       << QByteArray("NOTES_0")     << QByteArray("NOTES_0\0", 8);
    QTest::newRow("full, no fill")     << full                  << QByteArray("NOTES_1")     << QByteArray("NOTES_1\0", 8);
    QTest::newRow("name of 0 bytes")   << QByteArray("data")    << QByteArray()              << zeros(8);
    QTest::newRow("name of 2 bytes")   << QByteArray("data")    << QByteArray("AB")          << QByteArray("AB\0\0\0\0\0\0", 8);
    QTest::newRow("name of 8 bytes")   << QByteArray("data")    << QByteArray("ABCDEFGH")    << QByteArray("ABCDEFGH");
    QTest::newRow("name of 11 bytes")  << QByteArray("data")    << QByteArray("ABCDEFGHIJK") << QByteArray("ABCDEFGH");
    QTest::newRow("name ends at zero") << QByteArray("data")    << QByteArray("AB\0CD", 5)   << QByteArray("AB\0\0\0\0\0\0", 8);
    // Cut by bytes: the fifth two-byte letter loses its second byte.
    QTest::newRow("UTF-8 cut")         << QByteArray("data")    << QByteArray("ÄÖÜÄÖ")       << QByteArray("ÄÖÜÄ");
    // clang-format on
}

void TestContainer::layout()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, nameField);

    const QByteArray container = convertDataToPTC(payload, name);

    QCOMPARE(container.size(), 49200);
    QCOMPARE(container.first(4), QByteArray("PX01"));
    QCOMPARE(container.sliced(4, 4), QByteArray("\x0C\xC0\0\0", 4));
    QCOMPARE(container.sliced(8, 4), QByteArray("\x02\0\0\0", 4));
    QCOMPARE(container.sliced(12, 8), nameField);
    QCOMPARE(container.sliced(20, 16), expectedDigest(payload));
    QCOMPARE(container.sliced(36, 12), kResourceHeader);
    QCOMPARE(container.sliced(48, payload.size()), payload);
    QCOMPARE(container.sliced(48 + payload.size()), zeros(49152 - payload.size()));

    QCOMPARE(containerDigest(container), container.sliced(20, 16));

    const ptc::ContainerFields fields = ptc::readContainerFields(container);
    QCOMPARE(fields.signature, QByteArray("PX01"));
    QCOMPARE(fields.tag, QByteArray("GRP"));
    QCOMPARE(fields.name, QByteArray(nameField.constData())); // up to its first zero byte
    QCOMPARE(fields.dataSize, 49164u);
    QCOMPARE(fields.fixedByte, quint8(2));
    QCOMPARE(ptc::payloadLength(fields.dataSize), quint64(49152));
    QVERIFY(ptc::hasSignature(container));
}

void TestContainer::namesChangeOnlyTheNameField()
{
    const QByteArray payload = randomBytes(1000, 2);
    const QByteArray first = convertDataToPTC(payload, "AB");
    const QByteArray second = convertDataToPTC(payload, "XY");

    QCOMPARE(first.size(), second.size());
    QList<qsizetype> differences;
    for (qsizetype i = 0; i < first.size(); ++i) {
        if (first[i] != second[i])
            differences.append(i);
    }
    QCOMPARE(differences, (QList<qsizetype>{12, 13}));
}

void TestContainer::digestCoversPayloadNotName()
{
    QByteArray container = convertDataToPTC(QByteArray("payload"), "NAME");
    const QByteArray stored = container.sliced(20, 16);

    container[12] = 'X'; // name field: outside the digest
    QCOMPARE(containerDigest(container), stored);
    container[4] = 0; // data size field: outside as well
    QCOMPARE(containerDigest(container), stored);

    container[49199] = 1; // last byte of the zero fill: covered
    QVERIFY(containerDigest(container) != stored);
}

void TestContainer::fieldsOfShortFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<quint32>("dataSize");
    QTest::addColumn<int>("fixedByte");

    const QByteArray built = convertDataToPTC(QByteArray("x"), "LONGNAME");
    QByteArray program = built;
    program.replace(45, 3, "PRG");
    program[4] = char(0x34);
    program[5] = char(0x12);
    // clang-format off
    QTest::newRow("empty")            << QByteArray()     << QByteArray()       << QByteArray()      << QByteArray()          << 0u      << 0;
    QTest::newRow("2 bytes")          << QByteArray("PX") << QByteArray("PX")   << QByteArray()      << QByteArray()          << 0u      << 0;
    QTest::newRow("signature only")   << built.first(4)   << QByteArray("PX01") << QByteArray()      << QByteArray()          << 0u      << 0;
    QTest::newRow("half a size")      << built.first(5)   << QByteArray("PX01") << QByteArray()      << QByteArray()          << 0x0Cu   << 0;
    QTest::newRow("fixed byte"      ) << built.first(9)   << QByteArray("PX01") << QByteArray()      << QByteArray()          << 49164u  << 2;
    QTest::newRow("name cut")         << built.first(15)  << QByteArray("PX01") << QByteArray()      << QByteArray("LON")     << 49164u  << 2;
    QTest::newRow("tag cut to 1")     << built.first(46)  << QByteArray("PX01") << QByteArray("G")   << QByteArray("LONGNAME") << 49164u << 2;
    QTest::newRow("tag cut to 2")     << built.first(47)  << QByteArray("PX01") << QByteArray("GR")  << QByteArray("LONGNAME") << 49164u << 2;
    QTest::newRow("header only")      << built.first(48)  << QByteArray("PX01") << QByteArray("GRP") << QByteArray("LONGNAME") << 49164u << 2;
    QTest::newRow("whole")            << built            << QByteArray("PX01") << QByteArray("GRP") << QByteArray("LONGNAME") << 49164u << 2;
    QTest::newRow("program")          << program          << QByteArray("PX01") << QByteArray("PRG") << QByteArray("LONGNAME") << 0x1234u << 2;
    QTest::newRow("zero in tag")      << built.first(45) + QByteArray("G\0P", 3) << QByteArray("PX01") << QByteArray("G") << QByteArray("LONGNAME") << 49164u << 2;
    // clang-format on
}

void TestContainer::fieldsOfShortFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, signature);
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, name);
    QFETCH(quint32, dataSize);
    QFETCH(int, fixedByte);
    const ExactBuffer exact(bytes);

    const ptc::ContainerFields fields = ptc::readContainerFields(exact.bytes());
    QCOMPARE(fields.signature, signature);
    QCOMPARE(fields.tag, tag);
    QCOMPARE(fields.name, name);
    QCOMPARE(fields.dataSize, dataSize);
    QCOMPARE(int(fields.fixedByte), fixedByte);
    QCOMPARE(ptc::hasSignature(exact.bytes()), signature == "PX01");
}

QTEST_GUILESS_MAIN(TestContainer)
#include "tst_container.moc"
