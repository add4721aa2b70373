// SPDX-License-Identifier: MIT
// Tests of the conversion core on real files: classification, naming, packing, extraction,
// output safety, message texts and the order of events over a batch.
#include "Classification.h"
#include "ContainerBuilder.h"
#include "ConversionHarness.h"
#include "Extraction.h"
#include "FileSystem.h"
#include "Gzip.h"
#include "Messages.h"
#include "Naming.h"
#include "PathRules.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <csignal>
#include <limits>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace ptcdrop;

namespace {

constexpr qsizetype kPiece = 49152;
constexpr qsizetype kContainer = 49200;

QByteArray noise(qsizetype size, quint32 seed = 1)
{
    QRandomGenerator generator(seed);
    QByteArray result(size, Qt::Uninitialized);
    for (char& byte : result)
        byte = char(generator.generate() & 0xFF);
    return result;
}

QByteArray zeros(qsizetype size)
{
    return QByteArray(size, '\0');
}

// Text that gzip shrinks a great deal.
QByteArray prose(qsizetype size)
{
    QByteArray result;
    for (int line = 0; result.size() < size; ++line)
        result += "Line " + QByteArray::number(line % 97) + " of the notes, kept for packing.\n";
    result.truncate(size);
    return result;
}

// Every entry of a folder, hidden ones, links and FIFOs included, sorted.
QStringList entries(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

// Every file below `root`, as paths relative to it, sorted.
QStringList filesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QByteArray patched(QByteArray bytes, qsizetype offset, const QByteArray& with)
{
    bytes.replace(offset, with.size(), with);
    return bytes;
}

QByteArray withDataSize(const QByteArray& container, quint16 dataSize)
{
    QByteArray field(2, '\0');
    field[0] = char(dataSize & 0xFF);
    field[1] = char(dataSize >> 8);
    return patched(container, 4, field);
}

QByteArray withNameField(const QByteArray& container, QByteArray field)
{
    field.append(zeros(8 - field.size()));
    return patched(container, 12, field);
}

// The container cut to `size` bytes, or lengthened with bytes that are not zero.
QByteArray sizedTo(QByteArray bytes, qsizetype size)
{
    if (size <= bytes.size())
        bytes.truncate(size);
    else
        bytes.append(noise(size - bytes.size(), 7));
    return bytes;
}

// Writes `bytes` at `path` the way the batch writes an output: a temporary in the folder,
// held open or (with `named`) given a hidden name until it is committed.
bool writeAsOutput(const QString& path, const QByteArray& bytes, bool named)
{
    const std::optional<fs::Handle> folder = fs::openFolder(paths::removeLastComponent(path));
    if (!folder)
        return false;
    std::optional<fs::Temporary> temporary = fs::createTemporary(*folder, false);
    if (!temporary || !fs::writeAll(*temporary, bytes) || !fs::finishWriting(*temporary, !named))
        return false;
    const QByteArray name = QFile::encodeName(paths::lastComponent(path));
    return fs::commit(*temporary, *folder, name, fs::inspectTarget(*folder, name)) ==
           fs::CommitResult::Committed;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Lowers the file size limit for its lifetime, with SIGXFSZ ignored so that a write past
// the limit fails with EFBIG instead of ending the process. It holds for root too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
    bool m_active = false;
};

} // namespace

class TestConvert : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void classification_data();
    void classification();
    void isDirectory_data();
    void isDirectory();

    void baseName_data();
    void baseName();
    void packedNames_data();
    void packedNames();
    void pieceIndexBeyondNameField();

    void packSizes_data();
    void packSizes();
    void packGzipLargeSourceInOnePiece();
    void packFailedPieceAmongFive();
    void atomicWriteFailures_data();
    void atomicWriteFailures();
    void atomicWriteLongestName_data();
    void atomicWriteLongestName();
    void packUnderFileSizeLimit();
    void outputPermissions();

    void extractGRP_data();
    void extractGRP();
    void shortContainers_data();
    void shortContainers();
    void trimmer_data();
    void trimmer();
    void smallGzipSourcesRoundTrip();
    void firstPieceOfGzipStreamDoesNotUnzip();
    void extractPRG_data();
    void extractPRG();

    void outputSafety_data();
    void outputSafety();
    void linkAtOutputIsReplaced_data();
    void linkAtOutputIsReplaced();
    void unreadableSource_data();
    void unreadableSource();

    void messageText_data();
    void messageText();

    void emptyBatch();
    void unknownTagInMiddle();
    void damagedContainers_data();
    void damagedContainers();
    void eventsOverABatch();

private:
    QTranslator m_strings;
};

void TestConvert::initTestCase()
{
    QVERIFY(loadStringTable(m_strings, QLocale(QLocale::English)));
    QCoreApplication::installTranslator(&m_strings);
}

// --- Classification --------------------------------------------------------------------

void TestConvert::classification_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("tag");

    const QByteArray grp = convertDataToPTC("payload", "N");
    // clang-format off
    QTest::newRow("GRP, .ptc")          << "notes.ptc"     << grp                                     << "GRP";
    QTest::newRow("GRP, .PTC")          << "NOTES.PTC"     << grp                                     << "GRP";
    QTest::newRow("GRP, .Ptc")          << "NOTES.Ptc"     << grp                                     << "GRP";
    QTest::newRow("GRP, .bin")          << "notes.bin"     << grp                                     << "";
    QTest::newRow("GRP, .ptc.bak")      << "notes.ptc.bak" << grp                                     << "";
    QTest::newRow("GRP, name .ptc")     << ".ptc"          << grp                                     << "";
    QTest::newRow("signature px01")     << "notes.ptc"     << patched(grp, 0, "px01")                 << "";
    QTest::newRow("PRG")                << "prog.ptc"      << patched(grp, 45, "PRG")                 << "PRG";
    QTest::newRow("GR and zero")        << "x.ptc"         << patched(grp, 45, QByteArray("GR\0", 3)) << "GR";
    QTest::newRow("grp lower case")     << "x.ptc"         << patched(grp, 45, "grp")                 << "grp";
    QTest::newRow("zero at byte 45")    << "x.ptc"         << patched(grp, 45, zeros(1))              << "";
    QTest::newRow("tag with percent")   << "x.ptc"         << patched(grp, 45, "%@%")                 << "%@%";
    // clang-format on
    // Short files: the signature alone, then the tag's bytes as far as the file reaches.
    for (qsizetype size : {0, 3, 4, 45, 46, 47, 48})
        QTest::addRow("%lld bytes", qint64(size))
            << "short.ptc" << grp.first(size)
            << QString::fromLatin1(size > 45 ? grp.mid(45, size - 45) : QByteArray());
}

void TestConvert::classification()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, tag);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(fileName);
    QVERIFY(writeFile(path, bytes));
    ConversionHarness harness;
    QCOMPARE(harness.conversion.checkPTC(path), tag);
}

void TestConvert::isDirectory_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<bool>("expected");
    // clang-format off
    QTest::newRow("empty batch")        << QStringList{}                             << false;
    QTest::newRow("folder")             << QStringList{"folder"}                     << true;
    QTest::newRow("link to folder")     << QStringList{"folderLink"}                 << true;
    QTest::newRow("missing path")       << QStringList{"missing"}                    << false;
    QTest::newRow("dangling link")      << QStringList{"dangling"}                   << false;
    QTest::newRow("files only")         << QStringList{"file", "fileLink"}           << false;
    QTest::newRow("folder after files") << QStringList{"file", "missing", "folder"}  << true;
    // clang-format on
}

void TestConvert::isDirectory()
{
    QFETCH(QStringList, paths);
    QFETCH(bool, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(writeFile(dir.filePath("file"), "x"));
    QVERIFY(QFile::link(dir.filePath("folder"), dir.filePath("folderLink")));
    QVERIFY(QFile::link(dir.filePath("file"), dir.filePath("fileLink")));
    QVERIFY(QFile::link(dir.filePath("missing"), dir.filePath("dangling")));
    for (QString& path : paths)
        path = dir.filePath(path);
    QCOMPARE(Conversion::isDirectory(paths), expected);
}

// --- Naming ----------------------------------------------------------------------------

void TestConvert::baseName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("only");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("LONGFILE")        << "/d/longfilename.txt"        << true  << "LONGFILE";
    QTest::newRow("MY_FILE")         << "/d/my_file_.txt"            << true  << "MY_FILE";
    QTest::newRow("ABCDEFG")         << "/d/abcdefg_x.txt"           << true  << "ABCDEFG";
    QTest::newRow("X_")              << "/d/x__.txt"                 << true  << "X_";
    QTest::newRow("DATA.TAR")        << "/d/data.tar.gz"             << true  << "DATA.TAR";
    QTest::newRow("ARCHIVE.")        << "/d/archive.tar.gz"          << true  << "ARCHIVE.";
    QTest::newRow("REPOR")           << "/d/report.doc"              << false << "REPOR";
    QTest::newRow("ABCD")            << "/d/abcd_efg.bin"            << false << "ABCD";
    QTest::newRow("A_B")             << "/d/a_b.bin"                 << false << "A_B";
    QTest::newRow("empty base name") << "/d/_.txt"                   << true  << "";
    QTest::newRow("leading dot")     << "/d/.profile"                << true  << ".PROFILE";
    QTest::newRow("dots in folder")  << "/d.x.y/notes"               << true  << "NOTES";
    QTest::newRow("eight CJK")       << "/d/一二三四五六七八.txt" << true  << "一二三四五六七八";
    QTest::newRow("sharp s")         << "/d/straße.txt"          << true  << "STRASSE";
    QTest::newRow("sharp s past 8")  << "/d/ßßßßßßßßß.txt"       << true  << "SSSSSSSSSSSSSSSS";
    QTest::newRow("pair fits")       << "/d/abcdef😀.txt"        << true  << "ABCDEF😀";
    QTest::newRow("pair cut at 8")   << "/d/abcdefg😀.txt"       << true  << "ABCDEFG";
    QTest::newRow("pair cut at 5")   << "/d/abcd😀x.bin"         << false << "ABCD";
    QTest::newRow("pair cut, then _")<< "/d/abc_😀x.bin"         << false << "ABC";
    // clang-format on
}

void TestConvert::baseName()
{
    QFETCH(QString, path);
    QFETCH(bool, only);
    QFETCH(QString, expected);
    QCOMPARE(name(path, only), expected);
}

// Packing a real file: the output names, and the container name field each one carries.
void TestConvert::packedNames_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QByteArray>("nameField"); // of the first output

    const QByteArray cjk = QString("一二三四五六七八").toUtf8();
    // clang-format off
    QTest::newRow("REPOR_0")         << "report.doc"              << kPiece << QStringList{"REPOR_0.ptc", "REPOR_1.ptc"} << QByteArray("REPOR_0\0", 8);
    QTest::newRow("ABCD_0")          << "abcd_efg.bin"            << kPiece << QStringList{"ABCD_0.ptc", "ABCD_1.ptc"}   << QByteArray("ABCD_0\0\0", 8);
    QTest::newRow("A_B_0")           << "a_b.bin"                 << kPiece << QStringList{"A_B_0.ptc", "A_B_1.ptc"}     << QByteArray("A_B_0\0\0\0", 8);
    QTest::newRow("empty base name") << "_.txt"                   << qsizetype(10) << QStringList{".ptc"}                << zeros(8);
    QTest::newRow("eight CJK")       << "一二三四五六七八.txt" << qsizetype(10) << QStringList{"一二三四五六七八.ptc"} << cjk.first(8);
    QTest::newRow("sharp s")         << "straße.txt"          << qsizetype(10) << QStringList{"STRASSE.ptc"}         << QByteArray("STRASSE\0", 8);
    QTest::newRow("pair cut at 8")   << "abcdefg😀.txt"       << qsizetype(10) << QStringList{"ABCDEFG.ptc"}         << QByteArray("ABCDEFG\0", 8);
    QTest::newRow("pair cut at 5")   << "abcd😀x.bin"         << kPiece << QStringList{"ABCD_0.ptc", "ABCD_1.ptc"}   << QByteArray("ABCD_0\0\0", 8);
    // clang-format on
}

void TestConvert::packedNames()
{
    QFETCH(QString, source);
    QFETCH(qsizetype, size);
    QFETCH(QStringList, outputs);
    QFETCH(QByteArray, nameField);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(source), noise(size)));
    ConversionHarness harness;
    harness.conversion.writeToFiles({dir.filePath(source)});

    QCOMPARE(harness.alerts, QStringList());
    QCOMPARE(entries(dir.path()), sorted(outputs + QStringList{source}));
    QCOMPARE(readFile(dir.filePath(outputs.first())).mid(12, 8), nameField);
}

// From piece 100 on, the eight-byte name field no longer holds the whole piece name.
void TestConvert::pieceIndexBeyondNameField()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("notes.txt"), noise(100 * kPiece)));
    ConversionHarness harness;
    harness.conversion.writeToFiles({dir.filePath("notes.txt")});

    QCOMPARE(harness.alerts, QStringList());
    QCOMPARE(entries(dir.path()).size(), 101 + 1);
    QCOMPARE(readFile(dir.filePath("NOTES_99.ptc")).mid(12, 8), QByteArray("NOTES_99"));
    QCOMPARE(readFile(dir.filePath("NOTES_10.ptc")).mid(12, 8), QByteArray("NOTES_10"));
    const QByteArray last = readFile(dir.filePath("NOTES_100.ptc"));
    QCOMPARE(last.mid(12, 8), QByteArray("NOTES_10"));
    QCOMPARE(last, convertDataToPTC({}, "NOTES_10"));
}

// --- Packing ---------------------------------------------------------------------------

void TestConvert::packSizes_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("gzip");
    QTest::addColumn<QStringList>("outputs");
    QTest::addColumn<QList<qsizetype>>("pieceLengths");
    QTest::addColumn<int>("jobs");
    // clang-format off
    QTest::newRow("empty")         << qsizetype(0)          << false << QStringList{"LONGFILE.ptc"} << QList<qsizetype>{0} << 1;
    QTest::newRow("empty, gzip")   << qsizetype(0)          << true  << QStringList{"LONGFILE.ptc"} << QList<qsizetype>{0} << 1;
    QTest::newRow("49151")         << kPiece - 1            << false << QStringList{"LONGFILE.ptc"} << QList<qsizetype>{kPiece - 1} << 1;
    QTest::newRow("49152")         << kPiece                << false << QStringList{"LONGF_0.ptc", "LONGF_1.ptc"} << QList<qsizetype>{kPiece, 0} << 1;
    QTest::newRow("49153")         << kPiece + 1            << false << QStringList{"LONGF_0.ptc", "LONGF_1.ptc"} << QList<qsizetype>{kPiece, 1} << 1;
    QTest::newRow("2 x 49152")     << 2 * kPiece            << false << QStringList{"LONGF_0.ptc", "LONGF_1.ptc", "LONGF_2.ptc"} << QList<qsizetype>{kPiece, kPiece, 0} << 1;
    // clang-format on
    // Past the first megabyte, each piece reads its own slice of the source, on whichever
    // thread builds it.
    for (const int jobs : {1, 2}) {
        for (const qsizetype extra : {qsizetype(0), qsizetype(7)}) {
            QStringList outputs;
            QList<qsizetype> lengths(23, kPiece);
            lengths.append(extra);
            for (int i = 0; i <= 23; ++i)
                outputs.append(QStringLiteral("LONGF_%1.ptc").arg(i));
            QTest::addRow("23 x 49152 + %d, %d jobs", int(extra), jobs)
                << 23 * kPiece + extra << false << outputs << lengths << jobs;
        }
    }
}

// Each output is exactly the container of its slice of the source, under its piece name.
void TestConvert::packSizes()
{
    QFETCH(qsizetype, size);
    QFETCH(bool, gzip);
    QFETCH(QStringList, outputs);
    QFETCH(QList<qsizetype>, pieceLengths);
    QFETCH(int, jobs);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray source = noise(size);
    QVERIFY(writeFile(dir.filePath("longfilename.txt"), source));
    ConversionHarness harness;
    harness.gzip = gzip;
    harness.conversion.setJobs(jobs);
    harness.conversion.writeToFiles({dir.filePath("longfilename.txt")});

    QCOMPARE(harness.alerts, QStringList());
    QCOMPARE(entries(dir.path()), sorted(outputs + QStringList{"longfilename.txt"}));
    qsizetype offset = 0;
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        const QByteArray written = readFile(dir.filePath(outputs[i]));
        QCOMPARE(written.size(), kContainer);
        const QByteArray pieceName = outputs[i].chopped(4).toUtf8();
        QCOMPARE(written, convertDataToPTC(source.mid(offset, pieceLengths[i]), pieceName));
        offset += pieceLengths[i];
    }
    QCOMPARE(offset, size);
}

// The piece count follows the compressed length: a megabyte of text fits one piece.
void TestConvert::packGzipLargeSourceInOnePiece()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray source = prose(1 << 20);
    QVERIFY(writeFile(dir.filePath("longfilename.txt"), source));
    ConversionHarness harness;
    harness.gzip = true;
    harness.conversion.writeToFiles({dir.filePath("longfilename.txt")});

    QCOMPARE(harness.alerts, QStringList());
    QCOMPARE(entries(dir.path()), (QStringList{"LONGFILE.ptc", "longfilename.txt"}));
    const QByteArray container = readFile(dir.filePath("LONGFILE.ptc"));
    QCOMPARE(container.mid(48, 2), QByteArray("\x1f\x8b"));

    // Unpacked with the switch on, it gives the source back.
    harness.conversion.writeToFiles({dir.filePath("LONGFILE.ptc")});
    QCOMPARE(harness.alerts, QStringList());
    QCOMPARE(readFile(dir.filePath("LONGFILE.txt")), source);
}

// One piece that cannot be written is reported by name; the others are still written.
void TestConvert::packFailedPieceAmongFive()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray source = noise(4 * kPiece + 10);
    QVERIFY(writeFile(dir.filePath("notes.txt"), source));
    QVERIFY(QDir(dir.path()).mkpath("NOTES_2.ptc/inside"));
    ConversionHarness harness;
    harness.conversion.writeToFiles({dir.filePath("notes.txt")});

    QCOMPARE(harness.alerts, QStringList{"Save NOTES_2.ptc"});
    QCOMPARE(entries(dir.path()), (QStringList{"NOTES_0.ptc", "NOTES_1.ptc", "NOTES_2.ptc",
                                               "NOTES_3.ptc", "NOTES_4.ptc", "notes.txt"}));
    QVERIFY(QFileInfo(dir.filePath("NOTES_2.ptc/inside")).isDir());
    for (int i : {0, 1, 3, 4}) {
        const QString piece = QStringLiteral("NOTES_%1").arg(i);
        QCOMPARE(readFile(dir.filePath(piece + ".ptc")),
                 convertDataToPTC(source.mid(i * kPiece, kPiece), piece.toUtf8()));
    }
}

// Write failures that hold for root too. After each, the folder holds what it held before:
// no temporary file, and an existing target keeps its old content.
void TestConvert::atomicWriteFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("named");
    // clang-format off
    for (const bool named : {false, true}) {
        const char* how = named ? "named" : "unnamed";
        QTest::addRow("folder at the path, %s", how)  << "folder" << named;
        QTest::addRow("parent is a file, %s", how)    << "parent" << named;
        QTest::addRow("over-long name, %s", how)      << "long"   << named;
        QTest::addRow("file size limit, %s", how)     << "limit"  << named;
    }
    // clang-format on
}

void TestConvert::atomicWriteFailures()
{
    QFETCH(QString, kind);
    QFETCH(bool, named);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("out"), "old content"));
    QString target = dir.filePath("out");
    if (kind == "folder") {
        target = dir.filePath("folder");
        QVERIFY(QDir(dir.path()).mkdir("folder"));
    } else if (kind == "parent") {
        target = dir.filePath("out/inner");
    } else if (kind == "long") {
        target = dir.filePath(QString(300, u'a'));
    }
    const QStringList before = entries(dir.path());

    bool written = true;
    bool limited = true;
    {
        std::optional<FileSizeLimit> limit;
        if (kind == "limit")
            limited = limit.emplace(4096).active();
        written = writeAsOutput(target, noise(kContainer), named);
    }
    QVERIFY(limited);
    QVERIFY(!written);
    QCOMPARE(entries(dir.path()), before);
    QCOMPARE(readFile(dir.filePath("out")), QByteArray("old content"));
}

// An output whose name is as long as a name may be is written whole, new or replacing an
// old file: the temporary file beside it needs a name of its own that fits too.
void TestConvert::atomicWriteLongestName_data()
{
    QTest::addColumn<bool>("replaces");
    QTest::addColumn<bool>("named");
    QTest::newRow("new file") << false << false;
    QTest::newRow("replacing") << true << false;
    QTest::newRow("new file, named temporary") << false << true;
    QTest::newRow("replacing, named temporary") << true << true;
}

void TestConvert::atomicWriteLongestName()
{
    QFETCH(bool, replaces);
    QFETCH(bool, named);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QString(255, u'n'));
    if (replaces)
        QVERIFY(writeFile(target, "old content"));
    QVERIFY(writeAsOutput(target, noise(kContainer), named));
    QCOMPARE(readFile(target), noise(kContainer));
    QCOMPARE(entries(dir.path()), QStringList{QString(255, u'n')});
}

// A container that cannot be written in full leaves the file it would replace as it was.
void TestConvert::packUnderFileSizeLimit()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("notes.txt"), noise(100)));
    QVERIFY(writeFile(dir.filePath("NOTES.ptc"), "an older container"));
    ConversionHarness harness;
    bool limited = false;
    {
        FileSizeLimit limit(4096);
        limited = limit.active();
        harness.conversion.writeToFiles({dir.filePath("notes.txt")});
    }
    QVERIFY(limited);
    QCOMPARE(harness.alerts, QStringList{"Save NOTES.ptc"});
    QCOMPARE(entries(dir.path()), (QStringList{"NOTES.ptc", "notes.txt"}));
    QCOMPARE(readFile(dir.filePath("NOTES.ptc")), QByteArray("an older container"));
}

// --- Extraction ------------------------------------------------------------------------

void TestConvert::extractGRP_data()
{
    QTest::addColumn<QByteArray>("container");
    QTest::addColumn<bool>("gzip");
    QTest::addColumn<QString>("output"); // empty: nothing is written
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("alerts");

    const QByteArray text = prose(5000);
    const QByteArray gzipped = *gzippedData(text);
    const QByteArray zlibStream = qCompress(text).sliced(4); // without Qt's length prefix
    const QByteArray piece = noise(100);
    const QByteArray full = noise(kPiece);
    const QByteArray plain = convertDataToPTC(piece, "N");
    const QByteArray packed = convertDataToPTC(gzipped, "N");
    const QByteArray other = *gzippedData(noise(3000, 2));
    const QByteArray tail = *gzippedData("tail");
    const QStringList none;
    const QStringList unzip{"Unzip box.ptc"};
    // clang-format off
    QTest::newRow(".dat keeps the fill")  << convertDataToPTC(piece, "NOTES_1") << false << "NOTES_1.dat" << piece + zeros(kPiece - 100) << none;
    QTest::newRow(".dat of a full piece") << convertDataToPTC(full, "FULL")     << false << "FULL.dat"    << full                       << none;
    QTest::newRow("gzip payload to .txt") << convertDataToPTC(gzipped, "TEXT")  << true  << "TEXT.txt"    << text                       << none;
    QTest::newRow("zlib payload to .txt") << convertDataToPTC(zlibStream, "Z")  << true  << "Z.txt"       << text                       << none;
    QTest::newRow("gzip payload, off")    << packed                             << false << "N.dat"       << gzipped + zeros(kPiece - gzipped.size()) << none;
    QTest::newRow("zeros, gzip on")       << convertDataToPTC({}, "ZERO")       << true  << ""            << QByteArray()               << unzip;
    QTest::newRow("not a stream, on")     << plain                              << true  << ""            << QByteArray()               << unzip;
    QTest::newRow("stream cut by the end")<< packed.first(48 + gzipped.size() - 1) << true << ""          << QByteArray()               << unzip;
    QTest::newRow("name of 8 bytes")      << convertDataToPTC(piece, "ABCDEFGH") << false << "ABCDEFGH.dat" << piece + zeros(kPiece - 100) << none;
    QTest::newRow("leading zero, off")    << withNameField(plain, QByteArray("\0ABC", 4)) << false << ".dat" << piece + zeros(kPiece - 100) << none;
    QTest::newRow("leading zero, on")     << withNameField(packed, QByteArray("\0ABC", 4)) << true << ".txt" << text                      << none;
    QTest::newRow("climbing name")        << withNameField(plain, "../../x")     << false << ".._.._x.dat" << piece + zeros(kPiece - 100) << none;
    QTest::newRow("name of one slash")    << withNameField(plain, "/")           << false << "_.dat"       << piece + zeros(kPiece - 100) << none;
    QTest::newRow("absolute name")        << withNameField(packed, "/etc/x")     << true  << "_etc_x.txt"  << text                       << none;
    QTest::newRow("name not UTF-8")       << withNameField(plain, "\xff\xfe" "AB") << false << "\uFFFD\uFFFDAB.dat" << piece + zeros(kPiece - 100) << none;
    QTest::newRow("data size 5, off")     << withDataSize(plain, 5)              << false << "N.dat"       << QByteArray()               << none;
    QTest::newRow("data size 5, on")      << withDataSize(packed, 5)             << true  << ""            << QByteArray()               << unzip;
    QTest::newRow("data size 22")         << withDataSize(plain, 22)             << false << "N.dat"       << piece.first(10)            << none;
    QTest::newRow("data size past end")   << plain.first(100)                    << false << "N.dat"       << piece.first(52)            << none;
    QTest::newRow("gzip, past end")       << packed.first(48 + gzipped.size())   << true  << "N.txt"       << text                       << none;
    // Members one after another, as `cat a.gz b.gz` makes them; a member of a short source
    // ends in zero bytes, which the trimmer cuts, so the whole payload area is decoded.
    QTest::newRow("two members")          << convertDataToPTC(gzipped + other, "TWO") << true << "TWO.txt" << text + noise(3000, 2)  << none;
    QTest::newRow("short second member")  << convertDataToPTC(gzipped + tail, "TWO") << true  << "TWO.txt"   << text + "tail"            << none;
    QTest::newRow("second member cut")    << convertDataToPTC(gzipped + other.first(30), "C") << true << "" << QByteArray()              << unzip;
    // Bytes that begin no member: what decoded is saved, and the user is told.
    QTest::newRow("other bytes after")    << convertDataToPTC(gzipped + "JUNK", "J") << true  << "J.txt"     << text                      << QStringList{"Trailing box.ptc"};
    QTest::newRow("zero fill, then bytes")<< convertDataToPTC(gzipped + zeros(9) + "J", "J") << true << "J.txt" << text                   << QStringList{"Trailing box.ptc"};
    // clang-format on
}

// Every output lies in the container's own folder, two levels down: a name that climbs
// out of it must not put anything above.
void TestConvert::extractGRP()
{
    QFETCH(QByteArray, container);
    QFETCH(bool, gzip);
    QFETCH(QString, output);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, alerts);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath("a/b"));
    const QString path = root.filePath("a/b/box.ptc");
    QVERIFY(writeFile(path, container));
    ConversionHarness harness;
    harness.gzip = gzip;
    harness.conversion.writeToFiles({path});

    QCOMPARE(harness.alerts, alerts);
    QStringList expected{"a/b/box.ptc"};
    if (!output.isEmpty())
        expected.append("a/b/" + output);
    QCOMPARE(filesBelow(root.path()), sorted(expected));
    if (!output.isEmpty())
        QCOMPARE(readFile(root.filePath("a/b/" + output)), content);
    QCOMPARE(readFile(path), container);
}

// Files that end inside the header, handed to the handlers directly (classification would
// not send most of them there): nothing is read or written past the file's end.
void TestConvert::shortContainers_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<qsizetype>("size");
    for (const char* handler : {"GRP", "GRP gzip", "PRG"})
        for (qsizetype size : {0, 5, 13, 20, 47, 49, 59, 61})
            QTest::addRow("%s, %lld bytes", handler, qint64(size)) << handler << size;
}

void TestConvert::shortContainers()
{
    QFETCH(QString, handler);
    QFETCH(qsizetype, size);

    const QByteArray whole = convertDataToPTC(noise(kPiece), "ABCDEFGH");
    const QByteArray bytes = whole.first(size);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("box.ptc");
    QVERIFY(writeFile(path, bytes));
    ConversionHarness harness;
    harness.gzip = handler == "GRP gzip";
    if (handler == "PRG")
        harness.conversion.writePRGTXTToFile(path);
    else
        harness.conversion.writeTXTToFile(path);

    const QString name = QString::fromLatin1(bytes.mid(12, 8));
    if (harness.gzip) {
        QCOMPARE(harness.alerts, QStringList{"Unzip box.ptc"});
        QCOMPARE(entries(dir.path()), QStringList{"box.ptc"});
        return;
    }
    QCOMPARE(harness.alerts, QStringList());
    const bool program = handler == "PRG";
    const QString output = name + (program ? ".txt" : ".dat");
    QCOMPARE(entries(dir.path()), sorted({"box.ptc", output}));
    QCOMPARE(readFile(dir.filePath(output)), bytes.mid(program ? 60 : 48));
}

void TestConvert::trimmer_data()
{
    QTest::addColumn<QByteArray>("container");
    QTest::addColumn<quint64>("length");
    QTest::addColumn<QByteArray>("trimmed");

    const QByteArray header(48, 'h');
    const auto area = [&](const QByteArray& payload) {
        return header + payload + zeros(kPiece - payload.size());
    };
    const quint64 full = kPiece;
    const quint64 huge = std::numeric_limits<quint64>::max();
    // clang-format off
    QTest::newRow("05 00 00 00")         << area(QByteArray("\x07\x05\0\0\0", 5))     << full         << QByteArray("\x07\x05\0\0", 4);
    QTest::newRow("all zeros")           << area({})                                   << full         << zeros(2);
    QTest::newRow("last byte non-zero")  << header + zeros(kPiece - 1) + "\x01"        << full         << zeros(kPiece - 1) + "\x01";
    QTest::newRow("inner zeros stay")    << area(QByteArray("\x01\0\0\0\x02", 5))     << full         << QByteArray("\x01\0\0\0\x02\0\0", 7);
    QTest::newRow("ends after a zero")   << header + QByteArray("\x09\0", 2)           << full         << QByteArray("\x09\0", 2);
    QTest::newRow("ends at last byte")   << header + "\x09"                            << full         << QByteArray("\x09");
    QTest::newRow("one zero byte")       << header + zeros(1)                          << full         << zeros(1);
    QTest::newRow("header only")         << header                                     << full         << QByteArray();
    QTest::newRow("shorter than header") << header.first(10)                           << full         << QByteArray();
    QTest::newRow("tail past length")    << area("\x01\x02\x03")                       << quint64(2)   << QByteArray("\x01\x02\x03\0", 4);
    QTest::newRow("length zero")         << area("\x05\x06\x07")                       << quint64(0)   << QByteArray("\x05\x06");
    QTest::newRow("length past the end") << header + "\x05" + zeros(10)                << (quint64(1) << 40) << QByteArray("\x05\0\0", 3);
    QTest::newRow("largest length")      << header + "\x05" + zeros(10)                << huge         << QByteArray("\x05\0\0", 3);
    QTest::newRow("wrapping length")     << header + "\x05" + zeros(10)                << huge - 47    << QByteArray("\x05\0\0", 3);
    // clang-format on
}

void TestConvert::trimmer()
{
    QFETCH(QByteArray, container);
    QFETCH(quint64, length);
    QFETCH(QByteArray, trimmed);
    QCOMPARE(gzipData(container, length), trimmed);
}

// A gzip stream of a source under 256 bytes ends in three zero bytes, one more than the
// trimmer keeps; such containers must still unpack to their source.
void TestConvert::smallGzipSourcesRoundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath("s.bin");
    QList<qsizetype> sizes;
    for (qsizetype size = 1; size <= 256; ++size)
        sizes.append(size);
    sizes.append({1000, 40000});
    for (qsizetype size : sizes) {
        const QByteArray bytes = noise(size, quint32(size));
        QVERIFY(writeFile(source, bytes));
        ConversionHarness harness;
        harness.gzip = true;
        harness.conversion.writeToFiles({source});
        harness.conversion.writeToFiles({dir.filePath("S.ptc")});
        QVERIFY2(harness.alerts.isEmpty(), qPrintable(QString::number(size)));
        QVERIFY2(readFile(dir.filePath("S.txt")) == bytes, qPrintable(QString::number(size)));
        if (size == 100) {
            // The trimmed payload alone is indeed cut short for such a source.
            const QByteArray container = readFile(dir.filePath("S.ptc"));
            QVERIFY(!gunzippedData(gzipData(container, kPiece)));
        }
    }
}

void TestConvert::firstPieceOfGzipStreamDoesNotUnzip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("big.bin"), noise(200000)));
    ConversionHarness harness;
    harness.gzip = true;
    harness.conversion.writeToFiles({dir.filePath("big.bin")});
    QCOMPARE(harness.alerts, QStringList());
    QVERIFY(QFileInfo::exists(dir.filePath("BIG_4.ptc")));

    const QStringList before = entries(dir.path());
    harness.conversion.writeToFiles({dir.filePath("BIG_0.ptc")});
    QCOMPARE(harness.alerts, QStringList{"Unzip BIG_0.ptc"});
    QCOMPARE(entries(dir.path()), before);
}

void TestConvert::extractPRG_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<quint16>("dataSize");
    QTest::addColumn<qsizetype>("textLength"); // from offset 60
    // clang-format off
    QTest::newRow("200 bytes, 164")      << qsizetype(200)    << quint16(164)   << qsizetype(140);
    QTest::newRow("100000 bytes, 1000")  << qsizetype(100000) << quint16(1000)  << qsizetype(988);
    QTest::newRow("60 bytes, 24")        << qsizetype(60)     << quint16(24)    << qsizetype(0);
    QTest::newRow("data size below 12")  << qsizetype(200)    << quint16(5)     << qsizetype(0);
    QTest::newRow("data size past end")  << qsizetype(70)     << quint16(49164) << qsizetype(10);
    QTest::newRow("ends before text")    << qsizetype(59)     << quint16(164)   << qsizetype(0);
    // clang-format on
}

// The program text, the same with the switch on or off; the switch is never read.
void TestConvert::extractPRG()
{
    QFETCH(qsizetype, size);
    QFETCH(quint16, dataSize);
    QFETCH(qsizetype, textLength);

    const QByteArray container = withDataSize(
        sizedTo(patched(convertDataToPTC(noise(kPiece), "PROG"), 45, "PRG"), size), dataSize);
    for (bool gzip : {false, true}) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(writeFile(dir.filePath("prog.ptc"), container));
        ConversionHarness harness;
        harness.gzip = gzip;
        harness.conversion.writeToFiles({dir.filePath("prog.ptc")});
        QCOMPARE(harness.alerts, QStringList());
        QCOMPARE(harness.switchReads, 0);
        QCOMPARE(entries(dir.path()), (QStringList{"PROG.txt", "prog.ptc"}));
        QCOMPARE(readFile(dir.filePath("PROG.txt")), container.mid(60, textLength));
    }
}

// --- Output safety ---------------------------------------------------------------------

// Setup: `plains` are plain files of their own bytes, `containers` "file:NAME" are GRP
// containers named NAME, `links` "link:target". `unchanged` must keep their bytes,
// `written` must be new or replaced; nothing else may appear.
void TestConvert::outputSafety_data()
{
    QTest::addColumn<QStringList>("plains");
    QTest::addColumn<QStringList>("containers");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("alerts");
    QTest::addColumn<QStringList>("unchanged");
    QTest::addColumn<QStringList>("written");
    using L = QStringList;
    // clang-format off
    QTest::newRow("plain file named like its output")
        << L{"NOTES.ptc"} << L{} << L{} << L{"NOTES.ptc"}
        << L{"Save NOTES.ptc"} << L{"NOTES.ptc"} << L{};
    QTest::newRow("output named like a later dropped container")
        << L{"notes.txt"} << L{"NOTES.ptc:INNER"} << L{} << L{"notes.txt", "NOTES.ptc"}
        << L{"Save NOTES.ptc"} << L{"NOTES.ptc", "notes.txt"} << L{"INNER.dat"};
    QTest::newRow("output named like an earlier dropped file")
        << L{"DATA.dat"} << L{"box.ptc:DATA"} << L{} << L{"DATA.dat", "box.ptc"}
        << L{"Save DATA.dat"} << L{"DATA.dat", "box.ptc"} << L{"DATA.ptc"};
    QTest::newRow("output is a link to a dropped file")
        << L{"notes.txt", "target.bin"} << L{} << L{"NOTES.ptc:target.bin"} << L{"notes.txt", "target.bin"}
        << L{"Save NOTES.ptc"} << L{"target.bin"} << L{"TARGET.ptc"};
    QTest::newRow("dropped through a link")
        << L{"notes.txt", "NOTES.ptc"} << L{} << L{"alias:NOTES.ptc"} << L{"notes.txt", "alias"}
        << L{"Save NOTES.ptc"} << L{"NOTES.ptc"} << L{"ALIAS.ptc"};
    QTest::newRow("a file not dropped is replaced")
        << L{"notes.txt", "NOTES.ptc"} << L{} << L{} << L{"notes.txt"}
        << L{} << L{"notes.txt"} << L{"NOTES.ptc"};
    QTest::newRow("an unpacked file not dropped is replaced")
        << L{"DATA.dat"} << L{"box.ptc:DATA"} << L{} << L{"box.ptc"}
        << L{} << L{"box.ptc"} << L{"DATA.dat"};
    // clang-format on
}

void TestConvert::outputSafety()
{
    QFETCH(QStringList, plains);
    QFETCH(QStringList, containers);
    QFETCH(QStringList, links);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, alerts);
    QFETCH(QStringList, unchanged);
    QFETCH(QStringList, written);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QHash<QString, QByteArray> before;
    quint32 seed = 1;
    for (const QString& plain : plains)
        before.insert(plain, noise(300, seed++));
    for (const QString& entry : containers) {
        const QStringList parts = entry.split(u':');
        before.insert(parts[0], convertDataToPTC(noise(300, seed++), parts[1].toUtf8()));
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY(writeFile(dir.filePath(it.key()), it.value()));
    QStringList names = before.keys();
    for (const QString& entry : links) {
        const QStringList parts = entry.split(u':');
        QVERIFY(QFile::link(parts[1], dir.filePath(parts[0])));
        names.append(parts[0]);
    }
    for (QString& path : dropped)
        path = dir.filePath(path);

    ConversionHarness harness;
    harness.conversion.writeToFiles(dropped);

    QCOMPARE(harness.alerts, alerts);
    for (const QString& file : written)
        if (!names.contains(file))
            names.append(file);
    QCOMPARE(entries(dir.path()), sorted(names));
    for (const QString& file : unchanged)
        QCOMPARE(readFile(dir.filePath(file)), before.value(file));
    for (const QString& file : written) {
        QVERIFY(QFileInfo(dir.filePath(file)).isFile());
        QVERIFY(readFile(dir.filePath(file)) != before.value(file));
    }
}

// A link standing at an output's path is replaced by the output: writing through it would
// change a file outside the save directory, one the user never dropped.
void TestConvert::linkAtOutputIsReplaced_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("output");
    // clang-format off
    QTest::newRow("packing")    << "notes.txt" << noise(100)                             << "NOTES.ptc";
    QTest::newRow("extraction") << "box.ptc"   << convertDataToPTC(noise(100), "README") << "README.dat";
    // clang-format on
}

void TestConvert::linkAtOutputIsReplaced()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, output);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath("save"));
    QVERIFY(QDir(root.path()).mkpath("elsewhere"));
    QVERIFY(writeFile(root.filePath("elsewhere/victim"), "not to be touched"));
    QVERIFY(writeFile(root.filePath("save/" + source), bytes));
    QVERIFY(QFile::link("../elsewhere/victim", root.filePath("save/" + output)));
    ConversionHarness harness;
    harness.conversion.writeToFiles({root.filePath("save/" + source)});

    QCOMPARE(harness.alerts, QStringList());
    QCOMPARE(readFile(root.filePath("elsewhere/victim")), QByteArray("not to be touched"));
    QCOMPARE(entries(root.filePath("elsewhere")), QStringList{"victim"});
    const QFileInfo written(root.filePath("save/" + output));
    QVERIFY(written.isFile() && !written.isSymLink());
    QCOMPARE(entries(root.filePath("save")), sorted({source, output}));
}

// An output gets the permissions a new file gets, or keeps those of the file it replaces.
void TestConvert::outputPermissions()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("a.txt"), "a"));
    QVERIFY(writeFile(dir.filePath("b.txt"), "b"));
    QVERIFY(writeFile(dir.filePath("B.ptc"), "old"));
    QVERIFY(QFile::setPermissions(dir.filePath("B.ptc"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const mode_t mask = ::umask(022);
    ConversionHarness harness;
    harness.conversion.writeToFiles({dir.filePath("a.txt"), dir.filePath("b.txt")});
    ::umask(mask);

    QCOMPARE(harness.alerts, QStringList());
    struct stat a = {};
    struct stat b = {};
    QCOMPARE(::stat(QFile::encodeName(dir.filePath("A.ptc")).constData(), &a), 0);
    QCOMPARE(::stat(QFile::encodeName(dir.filePath("B.ptc")).constData(), &b), 0);
    QCOMPARE(a.st_mode & 07777, mode_t(0644));
    QCOMPARE(b.st_mode & 07777, mode_t(0640));
}

// A source that is not a readable regular file is reported, and nothing is made from it.
void TestConvert::unreadableSource_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("handler"); // the batch, or a handler called directly
    QTest::addColumn<QString>("fileName");
    // clang-format off
    QTest::newRow("missing")             << "missing"  << "batch" << "gone.txt";
    QTest::newRow("missing, GRP")        << "missing"  << "GRP"   << "gone.ptc";
    QTest::newRow("missing, PRG")        << "missing"  << "PRG"   << "gone.ptc";
    QTest::newRow("FIFO")                << "fifo"     << "batch" << "pipe.txt";
    QTest::newRow("FIFO named .ptc")     << "fifo"     << "batch" << "pipe.ptc";
    QTest::newRow("FIFO, GRP")           << "fifo"     << "GRP"   << "pipe.ptc";
    QTest::newRow("FIFO, PRG")           << "fifo"     << "PRG"   << "pipe.ptc";
    QTest::newRow("link to /dev/null")   << "null"     << "batch" << "null.txt";
    QTest::newRow("/dev/null")           << "dev"      << "batch" << "null";
    // clang-format on
}

void TestConvert::unreadableSource()
{
    QFETCH(QString, kind);
    QFETCH(QString, handler);
    QFETCH(QString, fileName);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(fileName);
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "null")
        QVERIFY(QFile::link("/dev/null", path));
    else if (kind == "dev")
        path = "/dev/null";
    const QStringList before = entries(dir.path());

    ConversionHarness harness;
    harness.gzip = true;
    if (handler == "GRP")
        harness.conversion.writeTXTToFile(path);
    else if (handler == "PRG")
        harness.conversion.writePRGTXTToFile(path);
    else
        harness.conversion.writeToFiles({path});

    QCOMPARE(harness.alerts, QStringList{"Read " + fileName});
    QCOMPARE(entries(dir.path()), before);
    QVERIFY(!QFileInfo::exists("/dev/NULL.ptc"));
}

// --- Messages --------------------------------------------------------------------------

void TestConvert::messageText_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("hasArgument");
    QTest::addColumn<QString>("argument");
    // clang-format off
    QTest::newRow("Save")               << "Save"      << true  << "NOTES_2.ptc";
    QTest::newRow("Unzip")              << "Unzip"     << true  << "box.ptc";
    QTest::newRow("Read")               << "Read"      << true  << "gone.txt";
    QTest::newRow("Resource, percent")  << "Resource"  << true  << "%@%";
    QTest::newRow("Save, placeholders") << "Save"      << true  << "%@%@ %1 %s %n.ptc";
    QTest::newRow("Directory")          << "Directory" << false << "";
    QTest::newRow("unknown key")        << "Missing"   << true  << "x.ptc";
    QTest::newRow("unknown, no arg")    << "Missing"   << false << "";
    // clang-format on
}

// Known keys show their own text with the argument exactly once, verbatim; an unknown key
// shows itself.
void TestConvert::messageText()
{
    QFETCH(QString, key);
    QFETCH(bool, hasArgument);
    QFETCH(QString, argument);

    const Alert alert{key, hasArgument ? std::optional<QString>(argument) : std::nullopt};
    const QString text = ptcdrop::messageText(alert);
    if (key == "Missing") {
        QCOMPARE(text, key);
        return;
    }
    QVERIFY(text != key);
    QString rest = text;
    if (hasArgument) {
        const qsizetype at = text.indexOf(argument);
        QVERIFY2(at >= 0, qPrintable(text));
        rest.remove(at, argument.size());
        QVERIFY2(!rest.contains(argument), qPrintable(text));
    }
    QVERIFY2(!rest.contains("%@"), qPrintable(text));
}

// --- The batch -------------------------------------------------------------------------

void TestConvert::emptyBatch()
{
    ConversionHarness harness;
    harness.conversion.writeToFiles({});
    QCOMPARE(harness.log, QStringList{"progress 0/0"});
}

void TestConvert::unknownTagInMiddle()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray odd = patched(convertDataToPTC("x", "ODD"), 45, "XYZ");
    QVERIFY(writeFile(dir.filePath("a.txt"), "first"));
    QVERIFY(writeFile(dir.filePath("odd.ptc"), odd));
    QVERIFY(writeFile(dir.filePath("b.txt"), "third"));
    ConversionHarness harness;
    harness.conversion.writeToFiles(
        {dir.filePath("a.txt"), dir.filePath("odd.ptc"), dir.filePath("b.txt")});

    QCOMPARE(harness.log,
             (QStringList{"progress 0/3", "switch", "progress 1/3", "alert Resource XYZ",
                          "progress 2/3", "switch", "progress 3/3"}));
    QCOMPARE(entries(dir.path()), (QStringList{"A.ptc", "B.ptc", "a.txt", "b.txt", "odd.ptc"}));
    QCOMPARE(readFile(dir.filePath("A.ptc")), convertDataToPTC("first", "A"));
    QCOMPARE(readFile(dir.filePath("B.ptc")), convertDataToPTC("third", "B"));
    QCOMPARE(readFile(dir.filePath("odd.ptc")), odd);
}

// A file named ".ptc" with the signature is a container even when its tag is empty or the
// file ends before it: it gets "Resource" and nothing is written, so it can never be packed
// over an intact container of the same name.
void TestConvert::damagedContainers_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("alerts");
    QTest::addColumn<bool>("packed"); // into GAME.ptc; otherwise the intact one stays

    const QByteArray game = convertDataToPTC(prose(500), "GAME");
    const QStringList resource{QStringLiteral("Resource ")};
    // clang-format off
    QTest::newRow("cut to 40 bytes")        << "game.ptc" << game.first(40)              << resource << false;
    QTest::newRow("cut to the signature")   << "game.ptc" << game.first(4)               << resource << false;
    QTest::newRow("cut before the tag")     << "game.ptc" << game.first(45)              << resource << false;
    QTest::newRow("tag bytes zero")         << "game.ptc" << patched(game, 45, zeros(3)) << resource << false;
    QTest::newRow("is the intact one's twin") << "GAME.PTC" << game.first(40)            << resource << false;
    // Still plain: no signature, or not named ".ptc".
    QTest::newRow("cut to 3 bytes")         << "game.ptc" << game.first(3)               << QStringList() << true;
    QTest::newRow("not named .ptc")         << "game.bin" << game.first(40)              << QStringList() << true;
    // clang-format on
}

void TestConvert::damagedContainers()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, alerts);
    QFETCH(bool, packed);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray intact = convertDataToPTC(prose(800), "GAME");
    QVERIFY(writeFile(dir.filePath("GAME.ptc"), intact));
    QVERIFY(writeFile(dir.filePath(fileName), bytes));
    ConversionHarness harness;
    harness.conversion.writeToFiles({dir.filePath(fileName)});

    QCOMPARE(harness.alerts, alerts);
    QCOMPARE(entries(dir.path()), sorted(QStringList{"GAME.ptc", fileName}));
    QCOMPARE(readFile(dir.filePath(fileName)), bytes);
    QCOMPARE(readFile(dir.filePath("GAME.ptc")), packed ? convertDataToPTC(bytes, "GAME") : intact);
}

// Each alert comes while its own file is handled, in batch order, and the gzip switch is
// read once for each plain file and "GRP" container, right when that file is handled.
void TestConvert::eventsOverABatch()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray text = prose(3000);
    const QByteArray grp = convertDataToPTC(*gzippedData(text), "BOX");
    const QStringList files{"a.txt",    "box.ptc",   "prog.ptc", "odd.ptc",
                            "gone.txt", "zeros.ptc", "NOTES.ptc"};
    QVERIFY(writeFile(dir.filePath("a.txt"), text));
    QVERIFY(writeFile(dir.filePath("box.ptc"), grp));
    QVERIFY(writeFile(dir.filePath("prog.ptc"), patched(withNameField(grp, "PROG"), 45, "PRG")));
    QVERIFY(writeFile(dir.filePath("odd.ptc"), patched(grp, 45, QByteArray("GR\0", 3))));
    QVERIFY(writeFile(dir.filePath("zeros.ptc"), convertDataToPTC({}, "ZEROS")));
    QVERIFY(writeFile(dir.filePath("NOTES.ptc"), "a plain file"));
    QStringList paths;
    for (const QString& file : files)
        paths.append(dir.filePath(file));

    ConversionHarness harness;
    // a.txt packs compressed, box.ptc unpacks uncompressed, zeros.ptc and NOTES.ptc see it on.
    harness.queuedSwitch = {true, false};
    harness.gzip = true;
    harness.conversion.writeToFiles(paths);

    // clang-format off
    QCOMPARE(harness.log, (QStringList{
        "progress 0/7", "switch",
        "progress 1/7", "switch",
        "progress 2/7",
        "progress 3/7", "alert Resource GR",
        "progress 4/7", "alert Read gone.txt",
        "progress 5/7", "switch", "alert Unzip zeros.ptc",
        "progress 6/7", "switch", "alert Save NOTES.ptc",
        "progress 7/7"}));
    // clang-format on
    QCOMPARE(harness.switchReads, 4);
    QCOMPARE(readFile(dir.filePath("A.ptc")), convertDataToPTC(*gzippedData(text), "A"));
    QCOMPARE(readFile(dir.filePath("BOX.dat")), grp.sliced(48));
    QVERIFY(!QFileInfo::exists(dir.filePath("BOX.txt")));
    QCOMPARE(readFile(dir.filePath("PROG.txt")), grp.sliced(60));
    QCOMPARE(readFile(dir.filePath("NOTES.ptc")), QByteArray("a plain file"));
}

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"
