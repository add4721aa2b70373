// SPDX-License-Identifier: MIT
// Fault injection that holds for root: full disks, folders that vanish, over-long paths,
// sources that change under the batch, FIFOs and devices, links to folders.
#include "HardeningSupport.h"

#include "Classification.h"
#include "ContainerBuilder.h"
#include "Conversion.h"
#include "Extraction.h"
#include "Gzip.h"
#include "Messages.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <chrono>
#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace ptcdrop;
using namespace hardening;

namespace {

QByteArray text(qsizetype size, char seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('a' + (seed + i * 7 + i / 13) % 26);
    return bytes;
}

// A "PRG" container: the builder's layout with another tag and a data size of `dataSize`.
QByteArray programContainer(const QByteArray& name, quint16 dataSize)
{
    QByteArray container = convertDataToPTC(text(400, 'p'), name);
    container[4] = char(dataSize & 0xff);
    container[5] = char(dataSize >> 8);
    container.replace(ptc::kTagOffset, 3, "PRG");
    return container;
}

QByteArray gzipContainer(const QByteArray& source, const QByteArray& name)
{
    return convertDataToPTC(gzippedData(source).value(), name);
}

// Runs `body` in a child process: true when it ended normally with status 0. A crash or an
// assertion in the code under test then fails one check instead of the whole test run.
bool passesInChild(const std::function<bool()>& body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body() ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Removes the folder `name` below the open folder `parent` with everything in it, by
// descriptors: paths longer than PATH_MAX cannot be removed by name.
void removeTreeAt(int parent, const char* name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        DIR* dir = ::fdopendir(fd);
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray child = entry->d_name;
            if (child == "." || child == "..")
                continue;
            if (entry->d_type == DT_DIR)
                removeTreeAt(fd, child.constData());
            else
                ::unlinkat(fd, child.constData(), 0);
        }
        ::closedir(dir);
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

} // namespace

class HardeningTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fullTmpfsMidBatch();
    void fileSizeLimitMidBatch();
    void folderMovedMidFile_data();
    void folderMovedMidFile();
    void overlongPaths_data();
    void overlongPaths();
    void sourceChangesAfterClassification_data();
    void sourceChangesAfterClassification();
    void sourceVanishesMidBatch();
    void specialFilesNeverHang_data();
    void specialFilesNeverHang();
    void linkToFolderRefusesBatch_data();
    void linkToFolderRefusesBatch();
    void alertStaysOneLine_data();
    void alertStaysOneLine();
    void trimmerWithHugeLength_data();
    void trimmerWithHugeLength();
    void sourceChangesWhileRead_data();
    void sourceChangesWhileRead();
    void cancelMidFile_data();
    void cancelMidFile();
    void interruptLeavesNoTemporary_data();
    void interruptLeavesNoTemporary();

private:
    QTranslator m_strings;
};

void HardeningTest::initTestCase()
{
    QVERIFY(loadStringTable(m_strings, QLocale(QLocale::English)));
    QCoreApplication::installTranslator(&m_strings);
}

// A small tmpfs fills after a few containers: the outputs that fit are complete, the rest
// give "Save", an older file at a failed output's path is untouched, no temporary is left.
void HardeningTest::fullTmpfsMidBatch()
{
    QTemporaryDir outer;
    QVERIFY(outer.isValid());
    const QString disk = outer.filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkdir(disk));
    if (::geteuid() != 0 ||
        ::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=200k") != 0)
        QSKIP("no tmpfs can be mounted here; fileSizeLimitMidBatch covers the failing writes");
    const auto unmount =
        qScopeGuard([&] { ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH); });

    const QStringList stems = {"a", "b", "c", "d", "e", "f"};
    QStringList batch;
    for (const QString& stem : stems) {
        batch.append(disk + u'/' + stem + QStringLiteral(".txt"));
        QVERIFY(writeFile(batch.last(), text(100, stem[0].toLatin1())));
    }
    QVERIFY(writeFile(disk + QStringLiteral("/F.ptc"), "older"));
    const QMap<QString, QByteArray> before = snapshot(disk);

    RecordingSink sink;
    Conversion conversion(sink, [] { return false; });
    conversion.writeToFiles(batch);

    // Nothing frees space during the batch, so the outputs written are the first ones.
    QMap<QString, QByteArray> after = snapshot(disk);
    QList<Alert> expectedAlerts;
    qsizetype written = 0;
    for (const QString& stem : stems) {
        const QString output = stem.toUpper() + QStringLiteral(".ptc");
        if (expectedAlerts.isEmpty() && after.contains(output) && !before.contains(output)) {
            QVERIFY(isWellFormedContainer(after.take(output)));
            ++written;
        } else {
            expectedAlerts.append(alertOf(keys::kSave, output));
        }
    }
    QCOMPARE(sink.alerts, expectedAlerts);
    QVERIFY2(written > 0 && written < stems.size(), qPrintable(QString::number(written)));
    // What remains is exactly what was there: sources, the older F.ptc, no temporary file.
    QCOMPARE(after, before);
}

// With RLIMIT_FSIZE below a container's size (SIGXFSZ ignored, so the write fails with
// EFBIG instead of killing the process) every container write fails and small outputs
// still succeed: the batch goes on, and each failure is one "Save" line.
void HardeningTest::fileSizeLimitMidBatch()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    const QString program = dir.filePath(QStringLiteral("prog.ptc"));
    const QString packed = dir.filePath(QStringLiteral("packed.ptc"));
    const QString large = dir.filePath(QStringLiteral("large.bin"));
    QVERIFY(writeFile(notes, text(300, 'n')));
    QVERIFY(writeFile(program, programContainer("PROG", 164).left(200)));
    QVERIFY(writeFile(packed, gzipContainer(text(5000, 'g'), "PACKED")));
    QVERIFY(writeFile(large, text(2 * 49152 + 10, 'l')));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("NOTES.ptc")), "older"));
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    const CliRun run = runCli({QStringLiteral("--gzip"), notes, program, packed, large}, 60000, [] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{30000, 30000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    QVERIFY(run.finished);
    // The gzipped large file is small enough for one piece.
    QCOMPARE(run.errorLines, QStringList({cliLine(keys::kSave, QStringLiteral("NOTES.ptc")),
                                          cliLine(keys::kSave, QStringLiteral("LARGE.ptc"))}));
    QCOMPARE(run.exitCode, 1);

    QMap<QString, QByteArray> after = snapshot(dir.path());
    QCOMPARE(after.take(QStringLiteral("PROG.txt")), programContainer("PROG", 164).mid(60, 140));
    QCOMPARE(after.take(QStringLiteral("PACKED.txt")), text(5000, 'g'));
    QCOMPARE(after, before);
}

// The source was opened, then its folder is moved away and a file put at its old path (from
// the gzip switch, which is read after the source is opened). The output goes beside its
// source, into the folder that was opened, and nothing is written at the old path.
void HardeningTest::folderMovedMidFile_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("gzip");
    QTest::addColumn<QString>("output");

    // clang-format off
    QTest::newRow("pack")         << "notes.txt" << text(100, 'x')                    << false << "NOTES.ptc";
    QTest::newRow("pack gzip")    << "notes.txt" << text(100, 'x')                    << true  << "NOTES.ptc";
    QTest::newRow("extract")      << "c.ptc"     << convertDataToPTC("abc", "OUT")     << false << "OUT.dat";
    QTest::newRow("extract gzip") << "c.ptc"     << gzipContainer(text(900, 'z'), "OUT") << true  << "OUT.txt";
    // clang-format on
}

void HardeningTest::folderMovedMidFile()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, gzip);
    QFETCH(QString, output);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("sub"));
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u'/' + source;
    QVERIFY(writeFile(path, bytes));

    RecordingSink sink;
    Conversion conversion(sink, [&] {
        QDir().rename(folder, dir.filePath(QStringLiteral("moved")));
        writeFile(folder, "a file now");
        return gzip;
    });
    conversion.writeToFiles({path});

    QCOMPARE(sink.alerts, QList<Alert>());
    QMap<QString, QByteArray> after = snapshot(dir.path());
    QVERIFY(!after.take(QStringLiteral("moved/") + output).isEmpty());
    QMap<QString, QByteArray> expected;
    expected.insert(QStringLiteral("moved/"), QByteArray());
    expected.insert(QStringLiteral("moved/") + source, bytes);
    expected.insert(QStringLiteral("sub"), "a file now");
    QCOMPARE(after, expected);
}

// Paths the system cannot open: a component longer than NAME_MAX, and a file that exists
// below a path longer than PATH_MAX. Each is "Read", and nothing is written anywhere.
void HardeningTest::overlongPaths_data()
{
    QTest::addColumn<bool>("deep");
    QTest::newRow("component of 300 bytes") << false;
    QTest::newRow("existing file beyond PATH_MAX") << true;
}

void HardeningTest::overlongPaths()
{
    QFETCH(bool, deep);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.path();
    QString fileName = QStringLiteral("notes.txt");
    int deepest = -1;
    const QString segment(200, u'd');
    const auto cleanUp = qScopeGuard([&] {
        if (deepest >= 0)
            ::close(deepest);
        removeTreeAt(AT_FDCWD, QFile::encodeName(dir.filePath(segment)).constData());
    });
    if (deep) {
        // mkdirat from each new folder, since no absolute path this long can be used.
        deepest = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(deepest >= 0);
        for (int level = 0; level < 24; ++level) {
            QVERIFY(::mkdirat(deepest, QFile::encodeName(segment).constData(), 0755) == 0);
            const int child =
                ::openat(deepest, QFile::encodeName(segment).constData(), O_RDONLY | O_DIRECTORY);
            ::close(deepest);
            deepest = child;
            QVERIFY(deepest >= 0);
            path += u'/' + segment;
        }
        const int file = ::openat(deepest, "notes.txt", O_WRONLY | O_CREAT, 0644);
        QVERIFY(file >= 0);
        QCOMPARE(::write(file, "deep", 4), ssize_t(4));
        ::close(file);
        QVERIFY(path.size() > PATH_MAX);
    } else {
        fileName = QString(296, u'n') + QStringLiteral(".txt");
    }
    path += u'/' + fileName;

    const QMap<QString, QByteArray> before = snapshot(dir.path());
    RecordingSink sink;
    Conversion conversion(sink, [] { return false; });
    conversion.writeToFiles({path});
    QCOMPARE(sink.alerts, QList<Alert>({alertOf(keys::kRead, fileName)}));
    if (deep) {
        struct stat info
        {
        };
        QCOMPARE(::fstatat(deepest, "NOTES.ptc", &info, 0), -1);
    } else {
        QCOMPARE(snapshot(dir.path()), before);
    }
}

// The handler reads the source again after classification: if it is gone, a folder or a
// FIFO by then, that is "Read" and no output, never an empty container or a blocked read.
void HardeningTest::sourceChangesAfterClassification_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("change");

    const QByteArray plain = text(70000, 'q');
    const QByteArray grp = convertDataToPTC("payload", "OUT");
    const QByteArray prg = programContainer("OUT", 164);
    // clang-format off
    for (const char* change : {"removed", "folder", "fifo"}) {
        QTest::addRow("plain %s", change) << "notes.txt" << plain << ""    << change;
        QTest::addRow("GRP %s", change)   << "grp.ptc"   << grp   << "GRP" << change;
        QTest::addRow("PRG %s", change)   << "prg.ptc"   << prg   << "PRG" << change;
    }
    // clang-format on
}

void HardeningTest::sourceChangesAfterClassification()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, tag);
    QFETCH(QString, change);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(source);
    QVERIFY(writeFile(path, bytes));

    RecordingSink sink;
    Conversion conversion(sink, [] { return true; });
    QCOMPARE(conversion.checkPTC(path), tag);
    QVERIFY(QFile::remove(path));
    if (change == QLatin1StringView("folder"))
        QVERIFY(QDir().mkdir(path));
    else if (change == QLatin1StringView("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    if (tag == QLatin1StringView("GRP"))
        conversion.writeTXTToFile(path);
    else if (tag == QLatin1StringView("PRG"))
        conversion.writePRGTXTToFile(path);
    else
        conversion.writePTCFormatToFile(path);

    QCOMPARE(sink.alerts, QList<Alert>({alertOf(keys::kRead, source)}));
    QCOMPARE(snapshot(dir.path()), before);
}

// A later file of the batch is removed while an earlier one is converted: the batch goes
// on, the vanished file is "Read", the others are converted.
void HardeningTest::sourceVanishesMidBatch()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList batch = {dir.filePath(QStringLiteral("a.txt")),
                               dir.filePath(QStringLiteral("b.ptc")),
                               dir.filePath(QStringLiteral("c.txt"))};
    QVERIFY(writeFile(batch[0], "first"));
    QVERIFY(writeFile(batch[1], convertDataToPTC("second", "B")));
    QVERIFY(writeFile(batch[2], "third"));

    RecordingSink sink;
    Conversion conversion(sink, [&] {
        QFile::remove(batch[1]);
        return false;
    });
    conversion.writeToFiles(batch);

    QCOMPARE(sink.alerts, QList<Alert>({alertOf(keys::kRead, QStringLiteral("b.ptc"))}));
    QMap<QString, QByteArray> after = snapshot(dir.path());
    QCOMPARE(after.take(QStringLiteral("a.txt")), QByteArray("first"));
    QCOMPARE(after.take(QStringLiteral("c.txt")), QByteArray("third"));
    QCOMPARE(after.take(QStringLiteral("A.ptc")), convertDataToPTC("first", "A"));
    QCOMPARE(after.take(QStringLiteral("C.ptc")), convertDataToPTC("third", "C"));
    QVERIFY2(after.isEmpty(), qPrintable(after.keys().join(u' ')));
}

// A FIFO without a writer and a link to a character device, through the real CLI: each is
// "Read" at once, nothing is written (least of all into /dev), and the FIFO stays.
void HardeningTest::specialFilesNeverHang_data()
{
    QTest::addColumn<bool>("gzip");
    QTest::newRow("switch off") << false;
    QTest::newRow("switch on") << true;
}

void HardeningTest::specialFilesNeverHang()
{
    QFETCH(bool, gzip);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fifoPlain = dir.filePath(QStringLiteral("pipe.txt"));
    const QString fifoContainer = dir.filePath(QStringLiteral("pipe.ptc"));
    const QString device = dir.filePath(QStringLiteral("zero.ptc"));
    const QString after = dir.filePath(QStringLiteral("after.txt"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifoPlain).constData(), 0644), 0);
    QCOMPARE(::mkfifo(QFile::encodeName(fifoContainer).constData(), 0644), 0);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), device));
    QVERIFY(writeFile(after, "still converted"));
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    QStringList arguments = {fifoPlain, fifoContainer, device, after};
    if (gzip)
        arguments.prepend(QStringLiteral("--gzip"));
    const CliRun run = runCli(arguments, 20000);
    QVERIFY2(run.finished, "ptcdrop-cli blocked on a FIFO or device");
    QCOMPARE(run.errorLines, QStringList({cliLine(keys::kRead, QStringLiteral("pipe.txt")),
                                          cliLine(keys::kRead, QStringLiteral("pipe.ptc")),
                                          cliLine(keys::kRead, QStringLiteral("zero.ptc"))}));
    QCOMPARE(run.exitCode, 1);
    QMap<QString, QByteArray> now = snapshot(dir.path());
    QVERIFY(now.remove(QStringLiteral("AFTER.ptc")) == 1);
    QCOMPARE(now, before);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/dev/ZERO.ptc")));
}

// A link to a folder counts as a folder: one "Directory" line and nothing converted, not
// even the files before it. Among thousands of files, the paths are looked at by every
// job, each taking its share; the link comes last, in the second job's share.
void HardeningTest::linkToFolderRefusesBatch_data()
{
    QTest::addColumn<int>("filesBefore");
    QTest::newRow("among a few files") << 1;
    QTest::newRow("after thousands of files, two jobs") << 2999;
}

void HardeningTest::linkToFolderRefusesBatch()
{
    QFETCH(int, filesBefore);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("folder"))));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("folder/inner.txt")), "inner"));
    QVERIFY(
        QFile::link(dir.filePath(QStringLiteral("folder")), dir.filePath(QStringLiteral("link"))));
    QStringList arguments{QStringLiteral("--jobs"), QStringLiteral("2")};
    for (int i = 0; i < filesBefore; ++i) {
        const QString path = dir.filePath(QStringLiteral("a%1.txt").arg(i));
        QVERIFY(writeFile(path, "a"));
        arguments.append(path);
    }
    arguments.append(dir.filePath(QStringLiteral("link")));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("b.ptc")), convertDataToPTC("b", "B")));
    if (filesBefore < 10)
        arguments.append(dir.filePath(QStringLiteral("b.ptc")));
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    const CliRun run = runCli(arguments);
    QVERIFY(run.finished);
    QCOMPARE(run.errorLines, QStringList({cliLine(keys::kDirectory, std::nullopt)}));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(snapshot(dir.path()), before);
}

// ptcdrop-cli prints one line per alert, so that scripts can count and read them. A line
// break inside an argument (a tag byte, a file name, a name field) must not start a second
// line.
void HardeningTest::alertStaysOneLine_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("blockingFolder");

    QByteArray tagged = convertDataToPTC("x", "X");
    tagged.replace(ptc::kTagOffset, 3, "A\nB");
    // clang-format off
    QTest::newRow("tag")        << "tag.ptc"           << tagged                          << "";
    QTest::newRow("file name")  << "line\nbreak.ptc"   << QByteArray()                    << "";
    QTest::newRow("name field") << "field.ptc"         << convertDataToPTC("x", "A\nB")   << "A\nB.dat";
    // clang-format on
}

void HardeningTest::alertStaysOneLine()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, blockingFolder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(source);
    if (bytes.isEmpty())
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0); // "Read"
    else
        QVERIFY(writeFile(path, bytes));
    if (!blockingFolder.isEmpty()) // a folder at the output's path: "Save"
        QVERIFY(QDir().mkdir(dir.filePath(blockingFolder)));

    const CliRun run = runCli({path});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.errorText.startsWith(QStringLiteral("ptcdrop-cli: ")));
    QCOMPARE(run.errorLines.size(), 1);
    // The line break is shown as an escape, not dropped.
    QVERIFY2(run.errorText.contains(QLatin1StringView("\\n")), qPrintable(run.errorText));
}

// The trimmer starts at the file's last byte whenever the length asks for more than the
// file holds, however large the length: offset 48 + length must not wrap round.
void HardeningTest::trimmerWithHugeLength_data()
{
    QTest::addColumn<quint64>("length");
    // clang-format off
    QTest::newRow("2^63")        << (quint64(1) << 63);
    QTest::newRow("max - 48")    << (~quint64(0) - 48);
    QTest::newRow("max - 47")    << (~quint64(0) - 47);
    QTest::newRow("max - 40")    << (~quint64(0) - 40);
    QTest::newRow("max")         << ~quint64(0);
    // clang-format on
}

void HardeningTest::trimmerWithHugeLength()
{
    QFETCH(quint64, length);
    QByteArray container = convertDataToPTC("stream", "T");
    container.chop(100); // a file shorter than its payload area
    const QByteArray expected = QByteArray("stream") + QByteArray(2, '\0');
    const bool sound = passesInChild([&] { return gzipData(container, length) == expected; });
    QVERIFY(sound);
}

// A source that changes while it is read: cut short, grown, or rewritten in place at its
// size. It is "Read" and gives none of its outputs (no piece written before the change
// stays), no temporary is left, and the batch goes on. The change is made from the
// progress report that follows the first slice, so it falls between two reads.
void HardeningTest::sourceChangesWhileRead_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("gzip");
    QTest::addColumn<int>("jobs");
    for (const char* change : {"shrink", "grow", "rewrite"})
        for (const bool gzip : {false, true})
            for (const int jobs : {1, 2})
                QTest::addRow("%s, gzip %s, %d jobs", change, gzip ? "on" : "off", jobs)
                    << change << gzip << jobs;
}

void HardeningTest::sourceChangesWhileRead()
{
    QFETCH(QString, change);
    QFETCH(bool, gzip);
    QFETCH(int, jobs);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("notes.txt"));
    const QString after = dir.filePath(QStringLiteral("after.txt"));
    const qsizetype size = 3 * (1 << 20) + 5;
    QVERIFY(writeFile(source, text(size, 's')));
    QVERIFY(writeFile(after, "after"));
    // An old modification time, so that a rewrite within the same clock tick still shows.
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), old, 0), 0);

    RecordingSink sink;
    Conversion conversion(sink, [gzip] { return gzip; });
    conversion.setJobs(jobs);
    std::atomic<bool> changed{false};
    conversion.setProgress([&](const BatchProgress& progress) {
        if (progress.step != BatchProgress::Step::WithinFile || progress.fileIndex != 0 ||
            changed.exchange(true))
            return;
        QFile file(source);
        if (change == QLatin1StringView("shrink")) {
            file.resize(size / 2);
        } else if (file.open(change == QLatin1StringView("grow") ? QIODevice::Append
                                                                 : QIODevice::ReadWrite)) {
            file.seek(change == QLatin1StringView("grow") ? size : size - 10);
            file.write("0123456789");
        }
    });
    const BatchSummary summary = conversion.writeToFiles({source, after});

    QVERIFY(changed);
    QCOMPARE(sink.alerts, QList<Alert>({alertOf(keys::kRead, QStringLiteral("notes.txt"))}));
    QCOMPARE(summary.filesConverted, 1);
    QMap<QString, QByteArray> now = snapshot(dir.path());
    QCOMPARE(now.take(QStringLiteral("AFTER.ptc")),
             convertDataToPTC(gzip ? gzippedData("after").value() : QByteArray("after"), "AFTER"));
    QCOMPARE(now.keys(), QStringList({QStringLiteral("after.txt"), QStringLiteral("notes.txt")}));
}

// The cancel flag set in the middle of a file: none of its outputs, no temporary, no
// alert, the files after it untouched, and the batch says it was cancelled.
void HardeningTest::cancelMidFile_data()
{
    QTest::addColumn<int>("jobs");
    QTest::newRow("one job") << 1;
    QTest::newRow("three jobs") << 3;
}

void HardeningTest::cancelMidFile()
{
    QFETCH(int, jobs);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList batch = {dir.filePath(QStringLiteral("first.txt")),
                               dir.filePath(QStringLiteral("large.bin")),
                               dir.filePath(QStringLiteral("later.txt"))};
    QVERIFY(writeFile(batch[0], "first"));
    QVERIFY(writeFile(batch[1], text(5 * (1 << 20), 'c')));
    QVERIFY(writeFile(batch[2], "later"));

    RecordingSink sink;
    Conversion conversion(sink, [] { return false; });
    conversion.setJobs(jobs);
    std::atomic<bool> cancel{false};
    conversion.setCancelFlag(&cancel);
    // Set while the batch is at the large file: with jobs, a file may be prepared ahead, so
    // the report from inside it waits until the batch has reached it.
    std::atomic<bool> reached{false};
    conversion.setProgress([&](const BatchProgress& progress) {
        if (progress.step == BatchProgress::Step::FileStarted && progress.fileIndex == 1)
            reached = true;
        if (progress.step == BatchProgress::Step::WithinFile && progress.fileIndex == 1 &&
            progress.bytesDone > 0 && progress.bytesDone < progress.bytesTotal && !cancel) {
            while (!reached)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            cancel = true;
        }
    });
    const BatchSummary summary = conversion.writeToFiles(batch);

    QVERIFY(summary.cancelled);
    QCOMPARE(sink.alerts, QList<Alert>());
    QMap<QString, QByteArray> now = snapshot(dir.path());
    QCOMPARE(now.take(QStringLiteral("FIRST.ptc")), convertDataToPTC("first", "FIRST"));
    QCOMPARE(now.keys(), QStringList({QStringLiteral("first.txt"), QStringLiteral("large.bin"),
                                      QStringLiteral("later.txt")}));
}

// A real ptcdrop-cli interrupted in the middle of a large file leaves no temporary. With
// few descriptors its later pieces wait under hidden names, which INT, TERM and HUP remove
// before the process ends with that signal; with enough descriptors the pieces are unnamed
// and even KILL leaves nothing, also when a job is ready for more files beside it.
void HardeningTest::interruptLeavesNoTemporary_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("named");
    QTest::addColumn<int>("jobs");
    // clang-format off
    QTest::newRow("INT, named")             << SIGINT  << true  << 1;
    QTest::newRow("TERM, named")            << SIGTERM << true  << 1;
    QTest::newRow("HUP, named")             << SIGHUP  << true  << 1;
    QTest::newRow("TERM, named, 2 jobs")    << SIGTERM << true  << 2;
    QTest::newRow("INT, unnamed")           << SIGINT  << false << 2;
    QTest::newRow("KILL, unnamed")          << SIGKILL << false << 1;
    QTest::newRow("KILL, unnamed, 2 jobs")  << SIGKILL << false << 2;
    // clang-format on
}

void HardeningTest::interruptLeavesNoTemporary()
{
    QFETCH(int, signal);
    QFETCH(bool, named);
    QFETCH(int, jobs);

    // On tmpfs where there is one: the test writes tens of megabytes.
    QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                          ? QStringLiteral("/dev/shm/tst_hardening-XXXXXX")
                          : QString());
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("large.bin"));
    QByteArray noise(48 << 20, Qt::Uninitialized);
    quint32 state = 99;
    for (char& byte : noise) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    QVERIFY(writeFile(source, noise));
    noise.clear();
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    const QByteArray program = PTCDROP_CLI;
    const QByteArray jobsText = QByteArray::number(jobs);
    const QByteArray sourceBytes = QFile::encodeName(source);
    const pid_t child = ::fork();
    if (child == 0) {
        if (named) {
            const rlimit few{64, 64};
            ::setrlimit(RLIMIT_NOFILE, &few);
        } else {
            // Enough for every piece of the file to be held open whatever the job count,
            // and no more, so that the budget the batch shares out is what is tested.
            rlimit limit{};
            if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_max >= 8192) {
                limit = rlimit{8192, 8192};
                ::setrlimit(RLIMIT_NOFILE, &limit);
            }
        }
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        const char* argv[] = {program.constData(),     "--gzip", "--jobs", jobsText.constData(),
                              sourceBytes.constData(), nullptr};
        ::execv(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    QVERIFY(child > 0);

    // In the middle: a hidden temporary in the folder, or an unnamed one held open.
    const QByteArray folder = QFile::encodeName(dir.path());
    const auto midFile = [&] {
        if (named) {
            const QStringList hidden =
                QDir(dir.path())
                    .entryList({QStringLiteral(".ptcdrop-*")}, QDir::Files | QDir::Hidden);
            return !hidden.isEmpty();
        }
        const QString fds = QStringLiteral("/proc/%1/fd").arg(child);
        const QStringList entries =
            QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        int unnamed = 0;
        for (const QString& fd : entries) {
            char target[4096] = {};
            const QByteArray link = QFile::encodeName(fds + u'/' + fd);
            const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
            const QByteArray shown(target, std::max<ssize_t>(length, 0));
            if (shown.startsWith(folder + "/#") && shown.endsWith("(deleted)"))
                ++unnamed;
        }
        // Hundreds of pieces in: far enough that a share of the budget too small for the
        // file would have given its later pieces names by now.
        return unnamed >= 300;
    };
    bool reached = false;
    for (int i = 0; i < 4000 && !reached; ++i) {
        reached = midFile();
        if (!reached)
            QTest::qWait(5);
    }
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    QVERIFY2(reached, "the conversion was never seen in the middle of the file");
    QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == signal,
             qPrintable(QStringLiteral("status %1").arg(status)));
    QCOMPARE(snapshot(dir.path()), before);
}

QTEST_GUILESS_MAIN(HardeningTest)
#include "tst_hardening.moc"
