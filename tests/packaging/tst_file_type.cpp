// SPDX-License-Identifier: MIT
// The application/x-ptc file type as desktops see it: names and signatures that select it.
#include <QLocale>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QTest>

#include "PtcFormat.h"
#include "TestFiles.h"

namespace ptc = ptcdrop::ptc;

class TestFileType : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileType_data();
    void fileType();
    void comments_data();
    void comments();

private:
    QTemporaryDir m_dir;
};

namespace {

const QString kPtcType = QStringLiteral("application/x-ptc");

// A whole container as the program writes it: the signature, then zero bytes.
QByteArray containerBytes()
{
    QByteArray bytes(ptc::kContainerSize, '\0');
    bytes.replace(ptc::kSignatureOffset, ptc::kSignatureLength, ptc::kSignature);
    return bytes;
}

} // namespace

void TestFileType::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The environment points Qt at a data folder with the package file alone.
    QVERIFY(QMimeDatabase().mimeTypeForName(kPtcType).isValid());
}

void TestFileType::fileType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("byName");
    QTest::addColumn<bool>("isPtc");

    const QByteArray container = containerBytes();
    const QByteArray text("notes for later\n");
    // byName: the name alone selects the type; isPtc: name and content together do.
    // clang-format off
    QTest::newRow("container")               << "NOTES.ptc"     << container          << true  << true;
    QTest::newRow("lower-case extension")    << "notes.ptc"     << container          << true  << true;
    QTest::newRow("mixed-case extension")    << "Notes.PtC"     << text               << true  << true;
    // A container that lost its name is still one by its first bytes, as file managers
    // also look at content when the name says nothing.
    QTest::newRow("signature, no extension") << "NOTES"         << container          << false << true;
    QTest::newRow("signature alone")         << "game"          << QByteArray("PX01") << false << true;
    QTest::newRow("extension, empty file")   << "empty.ptc"     << QByteArray()       << true  << true;
    QTest::newRow("signature not at start")  << "shifted"       << " PX01" + text     << false << false;
    QTest::newRow("near miss of signature")  << "near"          << "PX02" + text      << false << false;
    QTest::newRow("extension in the middle") << "notes.ptc.txt" << text               << false << false;
    // clang-format on
}

void TestFileType::fileType()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, byName);
    QFETCH(bool, isPtc);

    const QString path = m_dir.filePath(name);
    QVERIFY(writeFile(path, bytes));
    const QMimeDatabase database;
    QCOMPARE(database.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name() == kPtcType,
             byName);
    const QMimeType type = database.mimeTypeForFile(path);
    QCOMPARE(type.name() == kPtcType, isPtc);
    if (isPtc)
        QCOMPARE(type.iconName(), QStringLiteral("application-x-ptc"));
}

void TestFileType::comments_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("comment");

    // clang-format off
    QTest::newRow("English")        << "en_GB" << "PTC container";
    QTest::newRow("German")         << "de_DE" << "PTC-Container";
    QTest::newRow("other language") << "fr_FR" << "PTC container";
    // clang-format on
}

void TestFileType::comments()
{
    QFETCH(QString, locale);
    QFETCH(QString, comment);

    const QLocale previous;
    QLocale::setDefault(QLocale(locale));
    const QString shown = QMimeDatabase().mimeTypeForName(kPtcType).comment();
    QLocale::setDefault(previous);
    QCOMPARE(shown, comment);
}

QTEST_GUILESS_MAIN(TestFileType)
#include "tst_file_type.moc"
