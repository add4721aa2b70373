// SPDX-License-Identifier: MIT
// Tests of ptcdrop-cli run as a process: outputs on disk, stderr lines, exit status, --inspect.
#include "ContainerBuilder.h"
#include "Gzip.h"
#include "PtcFormat.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ptcdrop;

namespace {

using Files = QMap<QString, QByteArray>;

const QString kTry = QStringLiteral("Try 'ptcdrop-cli --help' for more information.");

QString alertLine(const QString& text)
{
    return QStringLiteral("ptcdrop-cli: ") + text;
}

// The English texts of the string table, as a user reads them.
QString directoryLine()
{
    return alertLine(
        QStringLiteral("Folders cannot be converted. Drop files only; nothing was converted."));
}
QString resourceLine(const QString& tag)
{
    return alertLine(
        QStringLiteral("The container holds a resource of type “%1”, which cannot be converted.")
            .arg(tag));
}
QString saveLine(const QString& name)
{
    return alertLine(QStringLiteral("The file “%1” could not be saved.").arg(name));
}
QString unzipLine(const QString& name)
{
    return alertLine(QStringLiteral("The payload of “%1” could not be decompressed.").arg(name));
}
QString readLine(const QString& name)
{
    return alertLine(
        QStringLiteral("The file “%1” could not be read; it was not converted.").arg(name));
}

QString nameLine(const QString& shown)
{
    return alertLine(QStringLiteral("The name “%1” is not valid UTF-8 text (the bytes shown as "
                                    "\\xNN), so it could name another file; nothing was "
                                    "converted.")
                         .arg(shown));
}

QByteArray padded(QByteArray bytes, qsizetype length)
{
    bytes.append(QByteArray(length - bytes.size(), '\0'));
    return bytes;
}

QByteArray withTag(QByteArray container, QByteArrayView tag)
{
    return container.replace(ptc::kTagOffset, ptc::kTagLength, tag.toByteArray());
}

QByteArray withDataSize(QByteArray container, quint16 dataSize)
{
    container[ptc::kDataSizeOffset] = char(dataSize & 0xff);
    container[ptc::kDataSizeOffset + 1] = char(dataSize >> 8);
    return container;
}

// Stores the digest the bytes require, as a container of that content would carry it.
QByteArray resealed(QByteArray container)
{
    return container.replace(ptc::kDigestOffset, ptc::kDigestLength, containerDigest(container));
}

// A "PRG" container of 200 bytes whose data size is 164: program text at 60..199.
QByteArray programContainer()
{
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text.append(char('a' + i % 26));
    QByteArray container = convertDataToPTC(text, "PROG");
    container = withDataSize(withTag(container, ptc::kTagPRG), 164);
    container.truncate(200);
    return resealed(container);
}

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QStringList errLines;
};

Run runProgram(const QString& program, const QStringList& arguments,
               const QString& workingDirectory, const std::function<void()>& childSetup = {})
{
    QProcess process;
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Under the sanitizers a refused huge allocation must come back as a failure, as it
    // does in a normal build, instead of ending the process.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":allocator_may_return_null=1"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.remove(QStringLiteral("LANGUAGE"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    const QString err = QString::fromUtf8(process.readAllStandardError());
    run.errLines = err.split(u'\n', Qt::SkipEmptyParts);
    return run;
}

Run runCli(const QStringList& arguments, const QString& workingDirectory,
           const std::function<void()>& childSetup = {})
{
    return runProgram(QStringLiteral(PTCDROP_CLI), arguments, workingDirectory, childSetup);
}

// The CLI with arguments that need not be text: each goes through the shell as octal
// escapes that printf turns back into its bytes.
Run runCliBytes(const QList<QByteArray>& arguments, const QString& workingDirectory)
{
    QStringList shellArguments{
        QStringLiteral("-c"),
        QStringLiteral("cli=$1; shift; for a do set -- \"$@\" \"$(printf \"$a\")\"; shift; done; "
                       "exec \"$cli\" \"$@\""),
        QStringLiteral("sh"), QStringLiteral(PTCDROP_CLI)};
    for (const QByteArray& argument : arguments) {
        QString escaped;
        for (const char byte : argument)
            escaped += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
        shellArguments.append(escaped);
    }
    return runProgram(QStringLiteral("/bin/sh"), shellArguments, workingDirectory);
}

using RawFiles = QMap<QByteArray, QByteArray>;

// Removes a tree that QDir cannot: names that are not text, or deeper than a path can reach
// (rm walks it by descriptors). Declared after the QTemporaryDir, so it runs first.
struct TreeRemoval
{
    QString path;
    ~TreeRemoval() { QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), path}); }
};

// Every entry below `root` by its bytes, hidden ones too, so that names that are not text
// stay apart; folders map to a marker.
void rawSnapshotInto(const QByteArray& root, const QByteArray& prefix, RawFiles& entries)
{
    DIR* folder = ::opendir(root.constData());
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = root + '/' + name;
        struct stat info = {};
        ::lstat(path.constData(), &info);
        if (S_ISDIR(info.st_mode)) {
            entries.insert(prefix + name, QByteArrayLiteral("<folder>"));
            rawSnapshotInto(path, prefix + name + '/', entries);
            continue;
        }
        QByteArray content;
        const int fd = ::open(path.constData(), O_RDONLY);
        char buffer[65536];
        for (ssize_t got; fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0;)
            content.append(buffer, got);
        if (fd >= 0)
            ::close(fd);
        entries.insert(prefix + name, content);
    }
    ::closedir(folder);
}

RawFiles rawSnapshot(const QString& root)
{
    RawFiles entries;
    rawSnapshotInto(QFile::encodeName(root), QByteArray(), entries);
    return entries;
}

bool createRawFiles(const QString& root, const QList<QByteArray>& folders, const RawFiles& files)
{
    const QByteArray base = QFile::encodeName(root) + '/';
    for (const QByteArray& folder : folders) {
        if (::mkdir((base + folder).constData(), 0777) != 0)
            return false;
    }
    for (auto it = files.begin(); it != files.end(); ++it) {
        const int fd = ::open((base + it.key()).constData(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        const bool written =
            fd >= 0 && ::write(fd, it.value().constData(), size_t(it.value().size())) ==
                           ssize_t(it.value().size());
        if (fd >= 0)
            ::close(fd);
        if (!written)
            return false;
    }
    return true;
}

// Every entry below `root`, hidden ones too (a left-over temporary file would be one),
// with the content of each file; folders map to a marker.
Files snapshot(const QString& root)
{
    Files entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray content = QByteArrayLiteral("<folder>");
        if (!info.isDir()) {
            QFile file(path);
            content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<?>");
        }
        entries.insert(base.relativeFilePath(path), content);
    }
    return entries;
}

bool createFiles(const QString& root, const QStringList& folders, const Files& files)
{
    const QDir base(root);
    for (const QString& folder : folders) {
        if (!base.mkpath(folder))
            return false;
    }
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile file(base.filePath(it.key()));
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return false;
    }
    return true;
}

// Fails with the names that differ, then with the first file whose content differs.
void compareTrees(const Files& actual, const Files& expected)
{
    QCOMPARE(actual.keys(), expected.keys());
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (actual.value(it.key()) != it.value())
            QFAIL(qPrintable(QStringLiteral("content of %1 differs (%2 bytes, expected %3)")
                                 .arg(it.key())
                                 .arg(actual.value(it.key()).size())
                                 .arg(it.value().size())));
    }
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void convert_data();
    void convert();
    void arguments_data();
    void arguments();
    void nameBytes_data();
    void nameBytes();
    void workingFolderDeeperThanPathMax();
    void gzipRoundTrip_data();
    void gzipRoundTrip();
    void helpAndVersion();
    void inspect_data();
    void inspect();
    void inspectBatchWritesNothing();
    void inspectOutputFailure();
    void pathsResolvedByTheSystem();
    void fileSizeLimitMidBatch();
    void batchCollisions_data();
    void batchCollisions();
    void replacedPermissions_data();
    void replacedPermissions();
    void jobsGiveTheSameResults_data();
    void jobsGiveTheSameResults();
    void longSeriesReplacesItsOutputs();
};

void TestCli::convert_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("workingFolder");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("errLines");
    QTest::addColumn<Files>("outputs");

    const QByteArray hello = QByteArrayLiteral("hello");
    const QByteArray ab = convertDataToPTC("abc", "AB");
    const QByteArray unknown = withTag(convertDataToPTC("zzz", "ZED"), "ZZZ");
    const QByteArray program = programContainer();
    const QByteArray large(ptc::kPayloadSize + 1, 'x');

    // clang-format off
    QTest::newRow("pack one file")
        << Files{{"notes.txt", hello}} << QStringList() << QString() << QStringList{"notes.txt"}
        << 0 << QStringList()
        << Files{{"NOTES.ptc", convertDataToPTC(hello, "NOTES")}};
    QTest::newRow("pack two pieces")
        << Files{{"data.bin", large}} << QStringList() << QString() << QStringList{"data.bin"}
        << 0 << QStringList()
        << Files{{"DATA_0.ptc", convertDataToPTC(large.first(ptc::kPayloadSize), "DATA_0")},
                 {"DATA_1.ptc", convertDataToPTC("x", "DATA_1")}};
    QTest::newRow("unpack GRP")
        << Files{{"ab.ptc", ab}} << QStringList() << QString() << QStringList{"ab.ptc"}
        << 0 << QStringList()
        << Files{{"AB.dat", padded("abc", ptc::kPayloadSize)}};
    QTest::newRow("unpack PRG")
        << Files{{"prog.PTC", program}} << QStringList() << QString() << QStringList{"prog.PTC"}
        << 0 << QStringList()
        << Files{{"PROG.txt", program.sliced(ptc::kProgramTextOffset)}};
    QTest::newRow("unknown tag in the middle")
        << Files{{"a.txt", "A"}, {"z.ptc", unknown}, {"b.txt", "B"}} << QStringList() << QString()
        << QStringList{"a.txt", "z.ptc", "b.txt"}
        << 1 << QStringList{resourceLine("ZZZ")}
        << Files{{"A.ptc", convertDataToPTC("A", "A")}, {"B.ptc", convertDataToPTC("B", "B")}};
    QTest::newRow("alerts in batch order")
        << Files{{"z.ptc", unknown}, {"ab.ptc", ab}} << QStringList() << QString()
        << QStringList{"--gzip", "gone.txt", "z.ptc", "ab.ptc"}
        << 1 << QStringList{readLine("gone.txt"), resourceLine("ZZZ"), unzipLine("ab.ptc")}
        << Files();
    QTest::newRow("output blocked by a folder")
        << Files{{"notes.txt", hello}} << QStringList{"NOTES.ptc"} << QString()
        << QStringList{"notes.txt"}
        << 1 << QStringList{saveLine("NOTES.ptc")} << Files();
    QTest::newRow("output would replace a dropped file")
        << Files{{"notes.txt", hello}, {"NOTES.ptc", "not a container"}} << QStringList()
        << QString() << QStringList{"notes.txt", "NOTES.ptc"}
        << 1 << QStringList{saveLine("NOTES.ptc"), saveLine("NOTES.ptc")} << Files();
    QTest::newRow("folder in the batch")
        << Files{{"a.txt", "A"}} << QStringList{"sub"} << QString() << QStringList{"a.txt", "sub"}
        << 1 << QStringList{directoryLine()} << Files();
    QTest::newRow("dash file after --")
        << Files{{"-x", "dash"}} << QStringList() << QString() << QStringList{"--", "-x"}
        << 0 << QStringList() << Files{{"-X.ptc", convertDataToPTC("dash", "-X")}};
    QTest::newRow("dash file without --")
        << Files{{"-x", "dash"}} << QStringList() << QString() << QStringList{"-x"}
        << 2 << QStringList{alertLine("Unknown option 'x'."), kTry} << Files();
    QTest::newRow("relative paths from the working folder")
        << Files{{"notes.txt", hello}, {"sub/keep.txt", "k"}} << QStringList{"sub"} << "sub"
        << QStringList{"../notes.txt", "keep.txt"}
        << 0 << QStringList()
        << Files{{"NOTES.ptc", convertDataToPTC(hello, "NOTES")},
                 {"sub/KEEP.ptc", convertDataToPTC("k", "KEEP")}};
    QTest::newRow("no FILE")
        << Files() << QStringList() << QString() << QStringList()
        << 2 << QStringList{alertLine("no FILE given"), kTry} << Files();
    QTest::newRow("no FILE after --gzip")
        << Files() << QStringList() << QString() << QStringList{"--gzip"}
        << 2 << QStringList{alertLine("no FILE given"), kTry} << Files();
    QTest::newRow("unknown option")
        << Files{{"notes.txt", hello}} << QStringList() << QString()
        << QStringList{"--frobnicate", "notes.txt"}
        << 2 << QStringList{alertLine("Unknown option 'frobnicate'."), kTry} << Files();
    QTest::newRow("empty FILE")
        << Files{{"notes.txt", hello}} << QStringList() << QString() << QStringList{"notes.txt", ""}
        << 2 << QStringList{alertLine("an empty FILE name"), kTry} << Files();
    QTest::newRow("--inspect with --gzip")
        << Files{{"notes.txt", hello}} << QStringList() << QString()
        << QStringList{"--inspect", "--gzip", "notes.txt"}
        << 2 << QStringList{alertLine("--inspect converts nothing, so --gzip has no meaning with it"), kTry}
        << Files();
    QTest::newRow("--jobs 0")
        << Files{{"notes.txt", hello}} << QStringList() << QString()
        << QStringList{"--jobs", "0", "notes.txt"}
        << 2 << QStringList{alertLine("--jobs needs a number from 1 to 256"), kTry} << Files();
    QTest::newRow("--jobs not a number")
        << Files{{"notes.txt", hello}} << QStringList() << QString()
        << QStringList{"--jobs=two", "notes.txt"}
        << 2 << QStringList{alertLine("--jobs needs a number from 1 to 256"), kTry} << Files();
    QTest::newRow("--json without --inspect")
        << Files{{"notes.txt", hello}} << QStringList() << QString()
        << QStringList{"--json", "notes.txt"}
        << 2 << QStringList{alertLine("--json needs --inspect"), kTry} << Files();
    // clang-format on
}

void TestCli::convert()
{
    QFETCH(Files, files);
    QFETCH(QStringList, folders);
    QFETCH(QString, workingFolder);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, errLines);
    QFETCH(Files, outputs);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(createFiles(dir.path(), folders, files));
    Files expected = snapshot(dir.path());
    expected.insert(outputs);

    const Run run = runCli(arguments, dir.filePath(workingFolder));
    QCOMPARE(run.errLines, errLines);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(run.out.isEmpty());
    compareTrees(snapshot(dir.path()), expected);
}

// Every argument after "--" is a FILE, whatever it looks like, and Qt takes none of them.
void TestCli::arguments_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("workingFolder");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("errLines");
    QTest::addColumn<Files>("outputs");

    const QByteArray b = QByteArrayLiteral("B");
    const QByteArray q = QByteArrayLiteral("Q");
    // clang-format off
    QTest::newRow("Qt's option after --")
        << Files{{"-qmljsdebugger=x", q}, {"b.txt", b}} << QStringList() << QString()
        << QStringList{"--", "-qmljsdebugger=x", "b.txt"}
        << 0 << QStringList()
        << Files{{"-QMLJSDE.ptc", convertDataToPTC(q, "-QMLJSDE")}, {"B.ptc", convertDataToPTC(b, "B")}};
    QTest::newRow("Qt's option as the only FILE")
        << Files{{"-qmljsdebugger=port:1.txt", q}} << QStringList() << QString()
        << QStringList{"--", "-qmljsdebugger=port:1.txt"}
        << 0 << QStringList()
        << Files{{"-QMLJSDE.ptc", convertDataToPTC(q, "-QMLJSDE")}};
    QTest::newRow("Qt's option, no such file")
        << Files{{"b.txt", b}} << QStringList() << QString()
        << QStringList{"--", "-qmljsdebugger=x", "b.txt"}
        << 1 << QStringList{readLine("-qmljsdebugger=x")}
        << Files{{"B.ptc", convertDataToPTC(b, "B")}};
    QTest::newRow("Qt's option before --")
        << Files{{"b.txt", b}} << QStringList() << QString()
        << QStringList{"-qmljsdebugger=x", "b.txt"}
        << 2 << QStringList{alertLine("Unknown option 'qmljsdebugger=x'."), kTry} << Files();
    QTest::newRow("our option after --")
        << Files{{"--gzip", q}} << QStringList() << QString() << QStringList{"--", "--gzip"}
        << 0 << QStringList() << Files{{"--GZIP.ptc", convertDataToPTC(q, "--GZIP")}};
    QTest::newRow("window option after --")
        << Files{{"-platform", q}, {"xcb", b}} << QStringList() << QString()
        << QStringList{"--", "-platform", "xcb"}
        << 0 << QStringList()
        << Files{{"-PLATFOR.ptc", convertDataToPTC(q, "-PLATFOR")}, {"XCB.ptc", convertDataToPTC(b, "XCB")}};
    QTest::newRow("--help-all")
        << Files() << QStringList() << QString() << QStringList{"--help-all"}
        << 2 << QStringList{alertLine("Unknown option 'help-all'."), kTry} << Files();
    // clang-format on
}

void TestCli::arguments()
{
    convert();
}

// Names that are not text are refused by their bytes, with the batch; no other file, not
// even one whose name reads the same, is touched. Names that are text reach their own file,
// a leading byte order mark included.
void TestCli::nameBytes_data()
{
    QTest::addColumn<QList<QByteArray>>("folders");
    QTest::addColumn<RawFiles>("files");
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("errLines");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<RawFiles>("outputs");

    using Bytes = QList<QByteArray>;
    const QByteArray ff = "\xff";
    const QByteArray replacement = "\xef\xbf\xbd";
    const QByteArray bom = "\xef\xbb\xbf";
    const QByteArray bomA = bom + "A";
    const RawFiles twins{{ff + "/a.txt", "user"},
                         {replacement + "/a.txt", "other"},
                         {replacement + "/A.ptc", "precious"}};
    // clang-format off
    QTest::newRow("folder not UTF-8, twin named U+FFFD")
        << Bytes{ff, replacement} << twins << Bytes{ff + "/a.txt"}
        << 1 << QStringList{nameLine("\\xff/a.txt")} << QByteArray() << RawFiles();
    QTest::newRow("Latin-1 name, twin named U+FFFD")
        << Bytes() << RawFiles{{"caf\xe9.txt", "mine"}, {"caf" + replacement + ".txt", "other"}, {"CAF" + replacement + ".ptc", "precious"}}
        << Bytes{"caf\xe9.txt"}
        << 1 << QStringList{nameLine("caf\\xe9.txt")} << QByteArray() << RawFiles();
    QTest::newRow("one such name refuses the batch")
        << Bytes() << RawFiles{{"ok.txt", "ok"}, {"x\xfe.txt", "x"}} << Bytes{"ok.txt", "x\xfe.txt", "gone.txt"}
        << 1 << QStringList{nameLine("x\\xfe.txt")} << QByteArray() << RawFiles();
    QTest::newRow("byte order mark, twin without")
        << Bytes() << RawFiles{{bom + "a.txt", "marked"}, {"a.txt", "plain"}} << Bytes{bom + "a.txt"}
        << 0 << QStringList() << QByteArray() << RawFiles{{bomA + ".ptc", convertDataToPTC("marked", bomA)}};
    QTest::newRow("UTF-8 name")
        << Bytes() << RawFiles{{"stra\xc3\x9f" "e.txt", "s"}} << Bytes{"stra\xc3\x9f" "e.txt"}
        << 0 << QStringList() << QByteArray() << RawFiles{{"STRASSE.ptc", convertDataToPTC("s", "STRASSE")}};
    QTest::newRow("--inspect, folder not UTF-8")
        << Bytes{ff, replacement} << twins << Bytes{"--inspect", ff + "/a.txt"}
        << 1 << QStringList() << QByteArray("\\xff/a.txt: cannot be read (the name is not valid UTF-8)\n") << RawFiles();
    QTest::newRow("--inspect, byte order mark")
        << Bytes() << RawFiles{{bom + "a.txt", "marked"}, {"a.txt", "plain"}} << Bytes{"--inspect", bom + "a.txt"}
        << 0 << QStringList() << bom + "a.txt: plain file (the name does not end in .ptc)\n  file length:  6 bytes\n" << RawFiles();
    // clang-format on
}

void TestCli::nameBytes()
{
    QFETCH(QList<QByteArray>, folders);
    QFETCH(RawFiles, files);
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, errLines);
    QFETCH(QByteArray, out);
    QFETCH(RawFiles, outputs);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const TreeRemoval removal{dir.path()};
    QVERIFY(createRawFiles(dir.path(), folders, files));
    RawFiles expected = rawSnapshot(dir.path());
    expected.insert(outputs);

    const Run run = runCliBytes(arguments, dir.path());
    QCOMPARE(run.errLines, errLines);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    const RawFiles actual = rawSnapshot(dir.path());
    QCOMPARE(actual.keys(), expected.keys());
    for (auto it = expected.begin(); it != expected.end(); ++it)
        QVERIFY2(actual.value(it.key()) == it.value(), it.key().toHex().constData());
}

// A working folder whose path is longer than the system's limit for a whole path: relative
// names still reach the file, its output lands beside it, and --inspect reads it.
void TestCli::workingFolderDeeperThanPathMax()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const TreeRemoval removal{dir.path()};
    const QByteArray level(200, 'd');
    constexpr int kLevels = 25; // 5000 bytes and more below the temporary folder
    const QByteArray root = QFile::encodeName(dir.path());
    int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; fd >= 0 && i < kLevels; ++i) {
        ::mkdirat(fd, level.constData(), 0777);
        const int next = ::openat(fd, level.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    QVERIFY(fd >= 0);
    const int source = ::openat(fd, "a.txt", O_WRONLY | O_CREAT | O_EXCL, 0666);
    QVERIFY(source >= 0);
    QCOMPARE(::write(source, "deep", 4), ssize_t(4));
    ::close(source);

    // The child goes down one level at a time, as no single path can name the folder.
    const auto enter = [root, level] {
        if (::chdir(root.constData()) != 0)
            ::_exit(97);
        for (int i = 0; i < kLevels; ++i) {
            if (::chdir(level.constData()) != 0)
                ::_exit(98);
        }
    };
    const Run run = runCli({"a.txt"}, QString(), enter);
    QCOMPARE(run.errLines, QStringList());
    QCOMPARE(run.exitCode, 0);
    const Run inspected = runCli({"--inspect", "a.txt"}, QString(), enter);
    QCOMPARE(inspected.exitCode, 0);
    QCOMPARE(inspected.out, QByteArray("a.txt: plain file (the name does not end in .ptc)\n"
                                       "  file length:  4 bytes\n"));

    // Everything in the deep folder, hidden files too: the source and its one output.
    QStringList names;
    QByteArray output;
    DIR* folder = ::fdopendir(::dup(fd));
    while (const dirent* entry = folder ? ::readdir(folder) : nullptr) {
        if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
            names.append(QString::fromUtf8(entry->d_name));
    }
    if (folder)
        ::closedir(folder);
    const int made = ::openat(fd, "A.ptc", O_RDONLY);
    char buffer[65536];
    for (ssize_t got; made >= 0 && (got = ::read(made, buffer, sizeof buffer)) > 0;)
        output.append(buffer, got);
    if (made >= 0)
        ::close(made);
    ::close(fd);
    names.sort();
    QCOMPARE(names, (QStringList{"A.ptc", "a.txt"}));
    QCOMPARE(output, convertDataToPTC("deep", "A"));
}

void TestCli::gzipRoundTrip_data()
{
    QTest::addColumn<QByteArray>("source");

    QByteArray text;
    while (text.size() < 200000)
        text.append("The quick brown fox jumps over the lazy dog. ");
    // clang-format off
    QTest::newRow("one byte")            << QByteArray("A");
    QTest::newRow("200 bytes")           << QByteArray(200, 'q');
    QTest::newRow("255 bytes")           << QByteArray(255, '\0');
    QTest::newRow("256 bytes")           << QByteArray(256, 'r');
    QTest::newRow("large, fits a piece") << text;
    // clang-format on
}

// Packing with --gzip and unpacking the container with --gzip gives back the source.
void TestCli::gzipRoundTrip()
{
    QFETCH(QByteArray, source);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(createFiles(dir.path(), {}, Files{{"notes.src", source}}));

    const Run pack = runCli({"--gzip", "notes.src"}, dir.path());
    QCOMPARE(pack.errLines, QStringList());
    QCOMPARE(pack.exitCode, 0);
    QCOMPARE(QFileInfo(dir.filePath("NOTES.ptc")).size(), ptc::kContainerSize);

    const Run unpack = runCli({"--gzip", "NOTES.ptc"}, dir.path());
    QCOMPARE(unpack.errLines, QStringList());
    QCOMPARE(unpack.exitCode, 0);
    QFile unpacked(dir.filePath("NOTES.txt"));
    QVERIFY(unpacked.open(QIODevice::ReadOnly));
    QCOMPARE(unpacked.readAll(), source);
    QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    QCOMPARE(names, (QStringList{"NOTES.ptc", "NOTES.txt", "notes.src"}));
}

void TestCli::helpAndVersion()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    const Run help = runCli({"--help"}, dir.path());
    QCOMPARE(help.exitCode, 0);
    const QString text = QString::fromUtf8(help.out);
    for (const char* expected : {"FILE...", "--gzip", "--inspect", "--json", "--jobs", "--help",
                                 "--version", "Exit status"})
        QVERIFY2(text.contains(QLatin1StringView(expected)), expected);
    // It takes no option of Qt's, so there is no help on them to list.
    QVERIFY(!text.contains(QLatin1StringView("--help-all")));

    const Run version = runCli({"--version"}, dir.path());
    QCOMPARE(version.exitCode, 0);
    QVERIFY2(QRegularExpression(QStringLiteral("^ptcdrop-cli \\d+\\.\\d+\\.\\d+\\n$"))
                 .match(QString::fromUtf8(version.out))
                 .hasMatch(),
             version.out.constData());
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestCli::inspect_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content"); // a null array: the file does not exist
    QTest::addColumn<QString>("shownPath");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("dataSize");
    QTest::addColumn<int>("payloadOffset"); // -1: not extracted
    QTest::addColumn<int>("payloadLength");
    QTest::addColumn<int>("fileLength");
    QTest::addColumn<bool>("digestMatches");
    QTest::addColumn<int>("exitCode");

    const QByteArray packed = convertDataToPTC("payload", "NOTES");
    QByteArray changed = packed;
    changed[ptc::kHeaderSize + 100] = '\x01';
    const QByteArray oddName = convertDataToPTC("x", QByteArray("A\x01\xff\"\\B", 6));
    const QByteArray unknown = resealed(withTag(packed, "ZZZ"));
    const QByteArray lyingSize = resealed(withDataSize(packed, 0xffff));

    // clang-format off
    QTest::newRow("packed container")
        << "NOTES.ptc" << packed << "NOTES.ptc" << "container" << "GRP" << "NOTES"
        << 49164 << 48 << 49152 << 49200 << true << 0;
    QTest::newRow("changed payload byte")
        << "NOTES.ptc" << changed << "NOTES.ptc" << "container" << "GRP" << "NOTES"
        << 49164 << 48 << 49152 << 49200 << false << 1;
    QTest::newRow("truncated container")
        << "NOTES.ptc" << packed.first(30000) << "NOTES.ptc" << "container" << "GRP" << "NOTES"
        << 49164 << 48 << 29952 << 30000 << false << 1;
    QTest::newRow("data size past the end")
        << "big.ptc" << lyingSize << "big.ptc" << "container" << "GRP" << "NOTES"
        << 65535 << 48 << 49152 << 49200 << true << 0;
    QTest::newRow("PRG container")
        << "prog.ptc" << programContainer() << "prog.ptc" << "container" << "PRG" << "PROG"
        << 164 << 60 << 140 << 200 << true << 0;
    QTest::newRow("unknown tag")
        << "z.Ptc" << unknown << "z.Ptc" << "container" << "ZZZ" << "NOTES"
        << 49164 << -1 << 0 << 49200 << true << 0;
    QTest::newRow("name with non-printing bytes")
        << "odd.ptc" << oddName << "odd.ptc" << "container" << "GRP" << "A\\x01\\xff\\\"\\\\B"
        << 49164 << 48 << 49152 << 49200 << true << 0;
    QTest::newRow("plain file")
        << "notes.txt" << QByteArray("hello") << "notes.txt" << "plain" << "" << ""
        << 0 << -1 << 0 << 5 << false << 0;
    QTest::newRow("container bytes under another name")
        << "notes.bin" << packed << "notes.bin" << "plain" << "" << ""
        << 0 << -1 << 0 << 49200 << false << 0;
    // A damaged container: the conversion refuses it with "Resource" and writes nothing.
    QTest::newRow("cut inside the header")
        << "short.ptc" << packed.first(40) << "short.ptc" << "container" << "" << "NOTES"
        << 49164 << -1 << 0 << 40 << false << 1;
    QTest::newRow("name holding a placeholder")
        << "50%9 %1.txt" << QByteArray("x") << "50%9 %1.txt" << "plain" << "" << ""
        << 0 << -1 << 0 << 1 << false << 0;
    QTest::newRow("name holding a line break")
        << "a\nb.txt" << QByteArray("x") << "a\\x0ab.txt" << "plain" << "" << ""
        << 0 << -1 << 0 << 1 << false << 0;
    QTest::newRow("missing file")
        << "gone.ptc" << QByteArray() << "gone.ptc" << "unreadable" << "" << ""
        << 0 << -1 << 0 << 0 << false << 1;
    // clang-format on
}

// Each file in both forms: the text lines and the JSON object say the same.
void TestCli::inspect()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, shownPath);
    QFETCH(QString, kind);
    QFETCH(QString, tag);
    QFETCH(QString, name);
    QFETCH(int, dataSize);
    QFETCH(int, payloadOffset);
    QFETCH(int, payloadLength);
    QFETCH(int, fileLength);
    QFETCH(bool, digestMatches);
    QFETCH(int, exitCode);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!content.isNull())
        QVERIFY(createFiles(dir.path(), {}, Files{{fileName, content}}));

    const Run text = runCli({"--inspect", fileName}, dir.path());
    QCOMPARE(text.errLines, QStringList());
    QCOMPARE(text.exitCode, exitCode);
    const QStringList lines = QString::fromUtf8(text.out).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    if (kind == QLatin1StringView("unreadable")) {
        QCOMPARE(lines, QStringList{shownPath + ": cannot be read (no such file)"});
    } else if (kind == QLatin1StringView("plain")) {
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(shownPath + ": plain file ("), qPrintable(lines[0]));
        QCOMPARE(lines[1], QStringLiteral("  file length:  %1 bytes").arg(fileLength));
    } else {
        const QString payload =
            payloadOffset < 0
                ? QStringLiteral("not extracted (unknown resource tag)")
                : QStringLiteral("%1 bytes from offset %2").arg(payloadLength).arg(payloadOffset);
        // A "GRP" container is also a piece: the series a join would take it into.
        const bool piece = tag == QLatin1StringView("GRP");
        QCOMPARE(lines.size(), piece ? 10 : 9);
        if (piece)
            QCOMPARE(lines[9], "  series:       \"" + QFileInfo(fileName).completeBaseName() +
                                   "\", a series of one");
        QCOMPARE(lines[0], shownPath + ": container");
        QCOMPARE(lines[1], QStringLiteral("  signature:    \"PX01\""));
        QCOMPARE(lines[2], "  resource tag: \"" + tag + '"');
        QCOMPARE(lines[3], "  name field:   \"" + name + '"');
        QCOMPARE(lines[4], QStringLiteral("  data size:    %1").arg(dataSize));
        QCOMPARE(lines[5], QStringLiteral("  fixed byte:   2"));
        QCOMPARE(lines[6], "  payload:      " + payload);
        QCOMPARE(lines[7], QStringLiteral("  file length:  %1 bytes").arg(fileLength));
        if (digestMatches)
            QCOMPARE(lines[8], QStringLiteral("  digest:       matches"));
        else
            QVERIFY2(lines[8].startsWith(QStringLiteral("  digest:       does not match (stored ")),
                     qPrintable(lines[8]));
    }

    const Run json = runCli({"--inspect", "--json", fileName}, dir.path());
    QCOMPARE(json.errLines, QStringList());
    QCOMPARE(json.exitCode, exitCode);
    QVERIFY(json.out.endsWith('\n'));
    QCOMPARE(json.out.count('\n'), 1);
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(json.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(object.value("path").toString(), fileName);
    QCOMPARE(object.value("kind").toString(), kind);
    if (kind == QLatin1StringView("unreadable"))
        return;
    QCOMPARE(object.value("fileLength").toInteger(), fileLength);
    if (kind == QLatin1StringView("plain")) {
        QVERIFY(!object.contains("digestMatches"));
        return;
    }
    QCOMPARE(object.value("signature").toString(), QStringLiteral("PX01"));
    QCOMPARE(object.value("tag").toString(), tag);
    QCOMPARE(object.value("name").toString(), name);
    QCOMPARE(object.value("dataSize").toInteger(), dataSize);
    QCOMPARE(object.value("fixedByte").toInteger(), 2);
    if (payloadOffset < 0)
        QVERIFY(object.value("payloadOffset").isNull());
    else
        QCOMPARE(object.value("payloadOffset").toInteger(), payloadOffset);
    QCOMPARE(object.value("payloadLength").toInteger(), payloadLength);
    QCOMPARE(object.value("digestMatches").toBool(), digestMatches);
    QCOMPARE(object.value("storedDigest").toString(),
             QString::fromLatin1(content.mid(ptc::kDigestOffset, ptc::kDigestLength).toHex()));
    QCOMPARE(object.value("computedDigest").toString(),
             QString::fromLatin1(containerDigest(content).toHex()));
}

// One run over files of every kind: one JSON line per file in order, status 1 for the one
// bad digest, and not a byte written (a plain file's output name is even taken).
void TestCli::inspectBatchWritesNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray changed = convertDataToPTC("payload", "NOTES");
    changed[ptc::kHeaderSize] = 'P';
    QVERIFY(createFiles(dir.path(), {"sub"},
                        Files{{"notes.txt", "hello"},
                              {"NOTES.ptc", convertDataToPTC("payload", "NOTES")},
                              {"bad.ptc", changed}}));
    const Files before = snapshot(dir.path());

    const QStringList files{"notes.txt", "NOTES.ptc", "bad.ptc", "sub"};
    const Run run = runCli(QStringList{"--inspect", "--json"} + files, dir.path());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errLines, QStringList());
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), files.size());
    QStringList paths, kinds;
    for (const QByteArray& line : lines) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        paths.append(object.value("path").toString());
        kinds.append(object.value("kind").toString());
    }
    QCOMPARE(paths, files);
    QCOMPARE(kinds, (QStringList{"plain", "container", "container", "unreadable"}));

    const Run text = runCli(QStringList{"--inspect"} + files.first(3), dir.path());
    QCOMPARE(text.exitCode, 1);
    compareTrees(snapshot(dir.path()), before);
}

// An inspection whose report cannot be written has not succeeded.
void TestCli::inspectOutputFailure()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full on this system");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(createFiles(dir.path(), {}, Files{{"NOTES.ptc", convertDataToPTC("x", "NOTES")}}));
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(QStringLiteral(PTCDROP_CLI), {"--inspect", "NOTES.ptc"});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardError(),
             QByteArray("ptcdrop-cli: the output could not be written\n"));
}

// "link/.." names the parent of the link's target, as the system resolves it, not the
// folder that holds the link: that file is packed, and its output lands beside it.
void TestCli::pathsResolvedByTheSystem()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(createFiles(dir.path(), {"real/sub", "work"},
                        Files{{"real/notes.txt", "real"}, {"work/notes.txt", "decoy"}}));
    QVERIFY(QFile::link(QStringLiteral("../real/sub"), dir.filePath("work/link")));
    Files expected = snapshot(dir.path());

    const Run run = runCli({"link/../notes.txt"}, dir.filePath("work"));
    QCOMPARE(run.errLines, QStringList());
    QCOMPARE(run.exitCode, 0);
    expected.insert("real/NOTES.ptc", convertDataToPTC("real", "NOTES"));
    compareTrees(snapshot(dir.path()), expected);
}

// Under a file size limit, with SIGXFSZ at its default (which would kill the process), every
// container that does not fit gives "Save", the batch goes on to the end, and no temporary
// file is left.
void TestCli::fileSizeLimitMidBatch()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(
        createFiles(dir.path(), {},
                    Files{{"big.bin", QByteArray(2 * 49152 + 10, 'b')}, {"after.txt", "after"}}));
    Files expected = snapshot(dir.path());

    const Run run = runCli({"big.bin", "after.txt"}, dir.path(), [] {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{40960, 40960};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    QCOMPARE(run.errLines, QStringList({saveLine("BIG_0.ptc"), saveLine("BIG_1.ptc"),
                                        saveLine("BIG_2.ptc"), saveLine("AFTER.ptc")}));
    QCOMPARE(run.exitCode, 1);
    compareTrees(snapshot(dir.path()), expected);
}

// Outputs of one batch that share a name: the first one written stays, every later one is
// "Save" and writes nothing, and a file of which one output collides writes none of its
// outputs, so that no series is mixed from two files. An output of an earlier batch is
// replaced as before. The folder's whole state is compared, hidden files included.
void TestCli::batchCollisions_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("errLines");
    QTest::addColumn<Files>("outputs");

    const QByteArray report(2 * ptc::kPayloadSize + 10, 'r');
    const QByteArray reporting(4 * ptc::kPayloadSize + 5, 'd');
    const auto series = [](const QByteArray& source, const QByteArray& base) {
        Files pieces;
        for (qsizetype i = 0; i * ptc::kPayloadSize <= source.size(); ++i) {
            const QByteArray name = base + '_' + QByteArray::number(i);
            pieces.insert(
                QString::fromLatin1(name + ".ptc"),
                convertDataToPTC(source.mid(i * ptc::kPayloadSize, ptc::kPayloadSize), name));
        }
        return pieces;
    };
    QStringList reportingLines;
    for (int i = 0; i < 5; ++i)
        reportingLines.append(saveLine(QStringLiteral("REPOR_%1.ptc").arg(i)));
    const QByteArray first = convertDataToPTC("first", "SAME");
    const QByteArray second = convertDataToPTC("second", "SAME");

    // clang-format off
    QTest::newRow("two sources, one container name")
        << Files{{"notes.txt", "text"}, {"notes.md", "markdown"}}
        << QStringList{"notes.txt", "notes.md"}
        << QStringList{saveLine("NOTES.ptc")}
        << Files{{"NOTES.ptc", convertDataToPTC("text", "NOTES")}};
    QTest::newRow("two series of one base name")
        << Files{{"report.pdf", report}, {"reporting.doc", reporting}}
        << QStringList{"report.pdf", "reporting.doc"}
        << reportingLines
        << series(report, "REPOR");
    QTest::newRow("plain .ptc files in two letter cases")
        << Files{{"b.ptc", "lower"}, {"B.PTC", "upper"}}
        << QStringList{"b.ptc", "B.PTC"}
        << QStringList{saveLine("B.ptc")}
        << Files{{"B.ptc", convertDataToPTC("lower", "B")}};
    QTest::newRow("two containers with one name field")
        << Files{{"one.ptc", first}, {"two.ptc", second}}
        << QStringList{"one.ptc", "two.ptc"}
        << QStringList{saveLine("SAME.dat")}
        << Files{{"SAME.dat", padded("first", ptc::kPayloadSize)}};
    QTest::newRow("the later file of three still written")
        << Files{{"notes.txt", "text"}, {"notes.md", "markdown"}, {"other.txt", "other"}}
        << QStringList{"notes.txt", "notes.md", "other.txt"}
        << QStringList{saveLine("NOTES.ptc")}
        << Files{{"NOTES.ptc", convertDataToPTC("text", "NOTES")},
                 {"OTHER.ptc", convertDataToPTC("other", "OTHER")}};
    QTest::newRow("an earlier batch's output is replaced")
        << Files{{"notes.txt", "text"}, {"NOTES.ptc", convertDataToPTC("older", "NOTES")}}
        << QStringList{"notes.txt"}
        << QStringList()
        << Files{{"NOTES.ptc", convertDataToPTC("text", "NOTES")}};
    // clang-format on
}

void TestCli::batchCollisions()
{
    QFETCH(Files, files);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, errLines);
    QFETCH(Files, outputs);

    for (const char* jobs : {"1", "3"}) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(createFiles(dir.path(), {}, files));
        Files expected = snapshot(dir.path());
        expected.insert(outputs);

        const Run run = runCli(QStringList{"--jobs", jobs} + arguments, dir.path());
        QCOMPARE(run.errLines, errLines);
        QCOMPARE(run.exitCode, errLines.isEmpty() ? 0 : 1);
        compareTrees(snapshot(dir.path()), expected);
    }
}

// A file replaced by an output passes on its permission bits and nothing more: a setuid,
// setgid or sticky file must not make its replacement (now owned by whoever converted)
// setuid, setgid or sticky.
void TestCli::replacedPermissions_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("output");

    const QByteArray container = convertDataToPTC("payload", "OUT");
    // clang-format off
    QTest::newRow("setuid, packing")     << 04755 << 0755 << "out.txt" << QByteArray("text") << "OUT.ptc";
    QTest::newRow("setgid, packing")     << 02775 << 0775 << "out.txt" << QByteArray("text") << "OUT.ptc";
    QTest::newRow("sticky, packing")     << 01777 << 0777 << "out.txt" << QByteArray("text") << "OUT.ptc";
    QTest::newRow("all three, unpacking") << 07640 << 0640 << "box.ptc" << container        << "OUT.dat";
    QTest::newRow("plain bits kept")     << 0600  << 0600 << "out.txt" << QByteArray("text") << "OUT.ptc";
    // clang-format on
}

void TestCli::replacedPermissions()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(QString, source);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, output);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(createFiles(dir.path(), {}, Files{{source, bytes}, {output, "older"}}));
    const QByteArray target = QFile::encodeName(dir.filePath(output));
    QCOMPARE(::chmod(target.constData(), mode_t(before)), 0);
    struct stat info = {};
    QCOMPARE(::stat(target.constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 07777), before);
    Files expected = snapshot(dir.path());
    expected.remove(output);

    const Run run = runCli({source}, dir.path());
    QCOMPARE(run.errLines, QStringList());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(::stat(target.constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 07777), after);
    Files now = snapshot(dir.path());
    QVERIFY(now.take(output) != QByteArray("older"));
    compareTrees(now, expected);
}

// Any number of jobs gives the outputs of one job, byte for byte, and the same alert lines
// in the same order, over a batch of every kind of file.
void TestCli::jobsGiveTheSameResults_data()
{
    QTest::addColumn<bool>("gzip");
    QTest::newRow("switch off") << false;
    QTest::newRow("switch on") << true;
}

void TestCli::jobsGiveTheSameResults()
{
    QFETCH(bool, gzip);

    Files files;
    QStringList arguments;
    const auto add = [&](const QString& name, const QByteArray& bytes) {
        files.insert(name, bytes);
        arguments.append(name);
    };
    QByteArray noise;
    quint32 state = 7;
    for (int i = 0; i < 700000; ++i) {
        state = state * 1664525u + 1013904223u;
        noise.append(char(state >> 24));
    }
    QByteArray text;
    for (int line = 0; text.size() < 600000; ++line)
        text += "line " + QByteArray::number(line % 113) + " of the notes\n";
    int index = 0;
    for (const qsizetype size :
         {qsizetype(0), qsizetype(1), qsizetype(300), ptc::kPayloadSize - 1, ptc::kPayloadSize,
          ptc::kPayloadSize + 1, 3 * ptc::kPayloadSize + 7, qsizetype(700000)})
        add(QStringLiteral("n%1ise.bin").arg(index++), noise.first(size));
    add("text.txt", text);
    add("grp.ptc", convertDataToPTC(noise.first(500), "GRP1"));
    add("gzgrp.ptc", convertDataToPTC(*gzippedData(text.first(5000)), "GZ"));
    add("prog.ptc", programContainer());
    add("odd.ptc", withTag(convertDataToPTC("odd", "ODD"), "ODD"));
    arguments.append("missing.txt");
    add("notes.txt", "text");
    add("notes.md", "markdown"); // collides with notes.txt
    add("z.ptc", "PX01 a plain file with the signature");

    QStringList baseline;
    Files baselineTree;
    for (const char* jobs : {"1", "2", "5"}) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(createFiles(dir.path(), {}, files));
        QStringList all = QStringList{"--jobs", jobs} + arguments;
        if (gzip)
            all.prepend("--gzip");
        const Run run = runCli(all, dir.path());
        QCOMPARE(run.exitCode, 1);
        const Files tree = snapshot(dir.path());
        if (baseline.isEmpty()) {
            baseline = run.errLines;
            baselineTree = tree;
            QVERIFY(run.errLines.contains(readLine("missing.txt")));
            QVERIFY(run.errLines.contains(saveLine("NOTES.ptc")));
            QVERIFY(tree.size() > files.size() + 10);
            continue;
        }
        QCOMPARE(run.errLines, baseline);
        compareTrees(tree, baselineTree);
    }
}

// A long series that replaces the outputs of an earlier run, with two jobs: past the
// first megabyte its pieces read their own slices, and the files they replace are freed
// by the pool after the renames. Every output is the container of its slice, each passes
// on the permission bits of the file it replaced, and nothing else is left in the folder.
void TestCli::longSeriesReplacesItsOutputs()
{
    constexpr qsizetype kPieces = 300; // more than the committing thread closes alone
    QByteArray source;
    quint32 state = 11;
    for (qsizetype i = 0; i < kPieces * ptc::kPayloadSize + 100; ++i) {
        state = state * 1664525u + 1013904223u;
        source.append(char(state >> 24));
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Files files{{"ab.bin", source}};
    Files expected = files;
    for (qsizetype i = 0; i <= kPieces; ++i) {
        const QString name = QStringLiteral("AB_%1").arg(i);
        files.insert(name + ".ptc", "older");
        expected.insert(name + ".ptc",
                        convertDataToPTC(source.mid(i * ptc::kPayloadSize, ptc::kPayloadSize),
                                         name.toLatin1()));
    }
    QVERIFY(createFiles(dir.path(), {}, files));
    const QMap<QString, int> modes{{"AB_0.ptc", 0600}, {"AB_7.ptc", 0640}, {"AB_299.ptc", 0604}};
    for (auto it = modes.begin(); it != modes.end(); ++it)
        QCOMPARE(::chmod(QFile::encodeName(dir.filePath(it.key())).constData(), mode_t(it.value())),
                 0);

    const Run run = runCli({"--jobs", "2", "ab.bin"}, dir.path());
    QCOMPARE(run.errLines, QStringList());
    QCOMPARE(run.exitCode, 0);
    compareTrees(snapshot(dir.path()), expected);
    for (auto it = modes.begin(); it != modes.end(); ++it) {
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(dir.filePath(it.key())).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), it.value());
    }
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
