// SPDX-License-Identifier: MIT
// Tests of joining a piece series back into its file, through ptcdrop-cli and the core.
#include "Alert.h"
#include "ContainerBuilder.h"
#include "Conversion.h"
#include "Messages.h"
#include "PtcFormat.h"
#include "SeriesName.h"
#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <atomic>

using namespace ptcdrop;

namespace {

using Files = QMap<QString, QByteArray>;

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QStringList errLines;
};

Run runCli(const QStringList& arguments, const QString& workingDirectory)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.remove(QStringLiteral("LANGUAGE"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(PTCDROP_CLI), arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.errLines =
        QString::fromUtf8(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    return run;
}

// Every entry of the folder, hidden ones too (a left-over temporary would be one), with
// its content.
Files snapshot(const QString& root)
{
    Files entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.insert(it.fileName(), readFile(path));
    }
    return entries;
}

QByteArray randomBytes(qsizetype length, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i)
        bytes[i] = char(generator.generate() & 0xff);
    return bytes;
}

// The piece files of DATA in `root`, in index order (DATA.ptc alone for one piece).
QStringList pieceNames(const QString& root)
{
    if (QFile::exists(root + QStringLiteral("/DATA.ptc")))
        return {QStringLiteral("DATA.ptc")};
    QStringList names;
    for (int i = 0; QFile::exists(root + QStringLiteral("/DATA_%1.ptc").arg(i)); ++i)
        names.append(QStringLiteral("DATA_%1.ptc").arg(i));
    return names;
}

QString line(const char* key, const QString& argument)
{
    return QStringLiteral("ptcdrop-cli: ") + messageText(Alert{QString::fromLatin1(key), argument});
}

// Alerts as "Key argument" lines.
class RecordingSink : public AlertSink
{
public:
    void alert(const Alert& alert) override
    {
        lines.append(alert.key + u' ' + alert.argument.value_or(QString()));
    }
    QStringList lines;
};

} // namespace

class TestJoin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void seriesNames_data();
    void seriesNames();
    void roundTrip_data();
    void roundTrip();
    void refusals_data();
    void refusals();
    void severalFilesOfOneSeries();
    void outputNeverReplacesPieceOrArgument();
    void extensionInAnyCase();
    void wrongDigestJoinsAndInspectReports();
    void inspectNamesTheSeries_data();
    void inspectNamesTheSeries();
    void progressAndCancel();
    void usage();

private:
    QTranslator m_strings;
};

void TestJoin::initTestCase()
{
    QVERIFY(loadStringTable(m_strings, QLocale(QLocale::English)));
    QCoreApplication::installTranslator(&m_strings);
}

void TestJoin::seriesNames_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("container");
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<qint64>("index"); // -1: no index
    QTest::addColumn<QString>("piece2");

    // clang-format off
    QTest::newRow("first piece")     << "NOTES_0.ptc"   << true  << "NOTES"    << 0ll  << "NOTES_2.ptc";
    QTest::newRow("ending in caps")  << "NOTES_12.PTC"  << true  << "NOTES"    << 12ll << "NOTES_2.PTC";
    QTest::newRow("underscores")     << "A_B_7.ptc"     << true  << "A_B"      << 7ll  << "A_B_2.ptc";
    QTest::newRow("no index")        << "MY_FILE.ptc"   << true  << "MY_FILE"  << -1ll << "";
    QTest::newRow("leading zero")    << "NOTES_01.ptc"  << true  << "NOTES_01" << -1ll << "";
    QTest::newRow("bare underscore") << "NOTES_.ptc"    << true  << "NOTES_"   << -1ll << "";
    QTest::newRow("empty base")      << "_3.ptc"        << true  << ""         << 3ll  << "_2.ptc";
    QTest::newRow("beyond 64 bits")  << "N_18446744073709551616.ptc" << true << "N_18446744073709551616" << -1ll << "";
    QTest::newRow("largest index")   << "N_18446744073709551615.ptc" << true << "N" << -1ll << "N_2.ptc";
    QTest::newRow("not a container") << "NOTES_0.txt"   << false << ""         << -1ll << "";
    // clang-format on
}

void TestJoin::seriesNames()
{
    QFETCH(QString, fileName);
    QFETCH(bool, container);
    QFETCH(QString, baseName);
    QFETCH(qint64, index);
    QFETCH(QString, piece2);

    const std::optional<SeriesName> series = seriesNameOf(fileName);
    QCOMPARE(series.has_value(), container);
    if (!series)
        return;
    QCOMPARE(series->baseName, baseName);
    if (QTest::currentDataTag() == QLatin1StringView("largest index")) {
        QCOMPARE(series->index, std::optional<quint64>(~quint64(0)));
    } else {
        QCOMPARE(series->index.has_value(), index >= 0);
        if (index >= 0)
            QCOMPARE(*series->index, quint64(index));
    }
    if (series->index)
        QCOMPARE(seriesPieceFileName(*series, 2), piece2);
}

void TestJoin::roundTrip_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("gzip");

    const qsizetype sizes[] = {0, 1, 49151, 49152, 49153, 3 * 1024 * 1024 + 17};
    for (const bool gzip : {false, true}) {
        for (const qsizetype size : sizes)
            QTest::addRow("%lld bytes, gzip %s", qlonglong(size), gzip ? "on" : "off")
                << size << gzip;
    }
}

// Pack with ptcdrop-cli, join the series from its last piece, compare with the original:
// gzip on gives it back byte for byte; off, it is followed by the last piece's zero fill.
void TestJoin::roundTrip()
{
    QFETCH(qsizetype, size);
    QFETCH(bool, gzip);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray original = randomBytes(size, quint32(size) + 1);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data.bin")), original));
    const QStringList gzipArgument = gzip ? QStringList{QStringLiteral("--gzip")} : QStringList();

    const Run pack = runCli(gzipArgument + QStringList{QStringLiteral("data.bin")}, dir.path());
    QCOMPARE(pack.exitCode, 0);
    const QStringList pieces = pieceNames(dir.path());
    QVERIFY(!pieces.isEmpty());
    const Files before = snapshot(dir.path());

    const Run join =
        runCli(QStringList{QStringLiteral("--join")} + gzipArgument + QStringList{pieces.last()},
               dir.path());
    QCOMPARE(join.errLines, QStringList());
    QCOMPARE(join.exitCode, 0);

    const QString outputName = gzip ? QStringLiteral("DATA.txt") : QStringLiteral("DATA.dat");
    Files after = snapshot(dir.path());
    const QByteArray joined = after.take(outputName);
    QCOMPARE(after, before); // the output is the only change, and no temporary is left
    if (gzip) {
        QVERIFY(joined == original);
    } else {
        QCOMPARE(joined.size(), pieces.size() * ptc::kPayloadSize);
        QVERIFY(joined.startsWith(original));
        QVERIFY(joined.sliced(original.size()).count('\0') == joined.size() - original.size());
    }
}

void TestJoin::refusals_data()
{
    QTest::addColumn<bool>("gzip");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("argument");

    // The series is DATA_0.ptc .. DATA_4.ptc, a gzip stream of 200 KiB of random bytes.
    // clang-format off
    QTest::newRow("missing middle piece")        << false << "remove 2"   << "DATA_0.ptc" << "JoinMissing" << "DATA_2.ptc";
    QTest::newRow("missing middle piece, gzip")  << true  << "remove 2"   << "DATA_4.ptc" << "JoinMissing" << "DATA_2.ptc";
    QTest::newRow("missing first piece")         << false << "remove 0"   << "DATA_3.ptc" << "JoinMissing" << "DATA_0.ptc";
    QTest::newRow("missing last piece, gzip")    << true  << "remove 4"   << "DATA_1.ptc" << "JoinMissing" << "DATA_4.ptc";
    QTest::newRow("PRG piece")                   << false << "prg 1"      << "DATA_0.ptc" << "JoinKind"    << "DATA_1.ptc";
    QTest::newRow("PRG piece, gzip")             << true  << "prg 3"      << "DATA_0.ptc" << "JoinKind"    << "DATA_3.ptc";
    QTest::newRow("stream does not start")       << true  << "damage 0"   << "DATA_2.ptc" << "JoinDamaged" << "DATA_0.ptc";
    QTest::newRow("piece after the stream")      << true  << "stale 5"    << "DATA_0.ptc" << "JoinDamaged" << "DATA_5.ptc";
    QTest::newRow("plain file given")            << false << "none"       << "data.bin"   << "JoinKind"    << "data.bin";
    // clang-format on
}

// Each fault is named by its piece, and the folder is left exactly as it was.
void TestJoin::refusals()
{
    QFETCH(bool, gzip);
    QFETCH(QString, change);
    QFETCH(QString, given);
    QFETCH(QString, key);
    QFETCH(QString, argument);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data.bin")), randomBytes(200 * 1024, 7)));
    QCOMPARE(runCli({QStringLiteral("--gzip"), QStringLiteral("data.bin")}, dir.path()).exitCode,
             0);
    QCOMPARE(pieceNames(dir.path()).size(), 5);

    const QStringList words = change.split(u' ');
    const QString piece =
        words.size() > 1 ? dir.filePath(QStringLiteral("DATA_%1.ptc").arg(words[1])) : QString();
    if (words[0] == QLatin1StringView("remove")) {
        QVERIFY(QFile::remove(piece));
    } else if (words[0] == QLatin1StringView("prg")) {
        QByteArray bytes = readFile(piece);
        bytes.replace(ptc::kTagOffset, ptc::kTagLength, ptc::kTagPRG);
        QVERIFY(writeFile(piece, bytes));
    } else if (words[0] == QLatin1StringView("damage")) {
        QByteArray bytes = readFile(piece);
        bytes[ptc::kHeaderSize] = 'X'; // no gzip magic where the stream must begin
        QVERIFY(writeFile(piece, bytes));
    } else if (words[0] == QLatin1StringView("stale")) {
        // Left over from an older, longer series: it holds bytes where only zero fill may be.
        QVERIFY(QFile::copy(dir.filePath(QStringLiteral("DATA_1.ptc")), piece));
    }
    const Files before = snapshot(dir.path());

    QStringList arguments{QStringLiteral("--join")};
    if (gzip)
        arguments.append(QStringLiteral("--gzip"));
    arguments.append(given);
    const Run run = runCli(arguments, dir.path());
    QCOMPARE(run.errLines, QStringList{line(key.toLatin1().constData(), argument)});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(snapshot(dir.path()), before);
}

// Pieces of one series given several times join it once; another series in the same call
// is joined too, in order; no output replaces an earlier one.
void TestJoin::severalFilesOfOneSeries()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray original = randomBytes(120000, 3);
    const QByteArray other = randomBytes(100, 4);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data.bin")), original));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("other.bin")), other));
    QCOMPARE(
        runCli({QStringLiteral("--gzip"), QStringLiteral("data.bin"), QStringLiteral("other.bin")},
               dir.path())
            .exitCode,
        0);

    const Run run = runCli({QStringLiteral("--join"), QStringLiteral("--gzip"),
                            QStringLiteral("DATA_2.ptc"), QStringLiteral("DATA_0.ptc"),
                            QStringLiteral("OTHER.ptc"), QStringLiteral("DATA_1.ptc")},
                           dir.path());
    QCOMPARE(run.errLines, QStringList());
    QCOMPARE(run.exitCode, 0);
    QVERIFY(readFile(dir.filePath(QStringLiteral("DATA.txt"))) == original);
    QVERIFY(readFile(dir.filePath(QStringLiteral("OTHER.txt"))) == other);

    // DATA.ptc alone is a series of its own, whose output would replace the one just written.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("DATA.ptc")), convertDataToPTC("abc", "DATA")));
    const Run collision =
        runCli({QStringLiteral("--join"), QStringLiteral("DATA_0.ptc"), QStringLiteral("DATA.ptc")},
               dir.path());
    QCOMPARE(collision.errLines, QStringList{line(keys::kSave, QStringLiteral("DATA.dat"))});
    QCOMPARE(readFile(dir.filePath(QStringLiteral("DATA.dat"))).size(), 3 * ptc::kPayloadSize);
}

// A file named in the call, or a second name of a piece, is never what the output replaces;
// an unrelated file of the output's name is replaced, as unpacking replaces one.
void TestJoin::outputNeverReplacesPieceOrArgument()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data.bin")), randomBytes(60000, 5)));
    QCOMPARE(runCli({QStringLiteral("data.bin")}, dir.path()).exitCode, 0);

    // DATA.dat is named in the call.
    QVERIFY(writeFile(dir.filePath(QStringLiteral("DATA.dat")), "keep"));
    Files before = snapshot(dir.path());
    Run run =
        runCli({QStringLiteral("--join"), QStringLiteral("DATA_0.ptc"), QStringLiteral("DATA.dat")},
               dir.path());
    QCOMPARE(run.errLines, (QStringList{line(keys::kSave, QStringLiteral("DATA.dat")),
                                        line(keys::kJoinKind, QStringLiteral("DATA.dat"))}));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(snapshot(dir.path()), before);

    // DATA.dat is a link to a piece.
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("DATA.dat"))));
    QVERIFY(QFile::link(QStringLiteral("DATA_1.ptc"), dir.filePath(QStringLiteral("DATA.dat"))));
    before = snapshot(dir.path());
    run = runCli({QStringLiteral("--join"), QStringLiteral("DATA_0.ptc")}, dir.path());
    QCOMPARE(run.errLines, QStringList{line(keys::kSave, QStringLiteral("DATA.dat"))});
    QCOMPARE(snapshot(dir.path()), before);

    // An unrelated DATA.dat.
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("DATA.dat"))));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("DATA.dat")), "old"));
    run = runCli({QStringLiteral("--join"), QStringLiteral("DATA_0.ptc")}, dir.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("DATA.dat"))).size(), 2 * ptc::kPayloadSize);
}

// A series copied off with its endings in capitals is still one series.
void TestJoin::extensionInAnyCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray original = randomBytes(150000, 6);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data.bin")), original));
    QCOMPARE(runCli({QStringLiteral("--gzip"), QStringLiteral("data.bin")}, dir.path()).exitCode,
             0);
    for (const QString& name : pieceNames(dir.path())) {
        QString upper = name;
        upper.replace(QStringLiteral(".ptc"), QStringLiteral(".PTC"));
        QVERIFY(QFile::rename(dir.filePath(name), dir.filePath(upper)));
    }
    const Run run =
        runCli({QStringLiteral("--join"), QStringLiteral("--gzip"), QStringLiteral("DATA_1.PTC")},
               dir.path());
    QCOMPARE(run.errLines, QStringList());
    QVERIFY(readFile(dir.filePath(QStringLiteral("DATA.txt"))) == original);
}

// The join does not check digests; --inspect does, and says where the piece belongs.
void TestJoin::wrongDigestJoinsAndInspectReports()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray original = randomBytes(100000, 8);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data.bin")), original));
    QCOMPARE(runCli({QStringLiteral("--gzip"), QStringLiteral("data.bin")}, dir.path()).exitCode,
             0);
    const QString piece = dir.filePath(QStringLiteral("DATA_1.ptc"));
    QByteArray bytes = readFile(piece);
    bytes[ptc::kDigestOffset] = char(bytes[ptc::kDigestOffset] ^ 0x55);
    QVERIFY(writeFile(piece, bytes));

    const Run join =
        runCli({QStringLiteral("--join"), QStringLiteral("--gzip"), QStringLiteral("DATA_1.ptc")},
               dir.path());
    QCOMPARE(join.errLines, QStringList());
    QVERIFY(readFile(dir.filePath(QStringLiteral("DATA.txt"))) == original);

    const Run inspect =
        runCli({QStringLiteral("--inspect"), QStringLiteral("DATA_1.ptc")}, dir.path());
    QCOMPARE(inspect.exitCode, 1);
    const QString text = QString::fromUtf8(inspect.out);
    QVERIFY2(text.contains(QStringLiteral("digest:       does not match")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("series:       \"DATA\", piece 1\n")), qPrintable(text));
}

void TestJoin::inspectNamesTheSeries_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("inspected");
    QTest::addColumn<QString>("textLine");
    QTest::addColumn<QString>("series");
    QTest::addColumn<qint64>("index"); // -1: none

    // clang-format off
    QTest::newRow("piece of a series") << QStringList{"NOTES_0.ptc", "NOTES_3.ptc"} << "NOTES_3.ptc"
                                       << "series:       \"NOTES\", piece 3" << "NOTES" << 3ll;
    QTest::newRow("no index")          << QStringList{"NOTES.ptc"} << "NOTES.ptc"
                                       << "series:       \"NOTES\", a series of one" << "NOTES" << -1ll;
    // x_1.txt packs into the single container X_1.ptc.
    QTest::newRow("alone with index")  << QStringList{"X_1.ptc"} << "X_1.ptc"
                                       << "series:       \"X_1\", a series of one" << "X_1" << -1ll;
    // clang-format on
}

void TestJoin::inspectNamesTheSeries()
{
    QFETCH(QStringList, present);
    QFETCH(QString, inspected);
    QFETCH(QString, textLine);
    QFETCH(QString, series);
    QFETCH(qint64, index);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString& name : present)
        QVERIFY(writeFile(dir.filePath(name), convertDataToPTC("abc", "N")));

    const Run text = runCli({QStringLiteral("--inspect"), inspected}, dir.path());
    QCOMPARE(text.exitCode, 0);
    QVERIFY2(QString::fromUtf8(text.out).contains(QStringLiteral("\n  ") + textLine + u'\n'),
             text.out.constData());

    const Run json =
        runCli({QStringLiteral("--inspect"), QStringLiteral("--json"), inspected}, dir.path());
    const QJsonObject object = QJsonDocument::fromJson(json.out).object();
    QCOMPARE(object.value(QStringLiteral("series")).toString(), series);
    if (index < 0)
        QVERIFY(object.value(QStringLiteral("seriesIndex")).isNull());
    else
        QCOMPARE(object.value(QStringLiteral("seriesIndex")).toInteger(), index);
}

// Through the core, as the window's job calls it: progress per given piece with the pieces
// joined so far, and a cancel in the middle leaves nothing behind.
void TestJoin::progressAndCancel()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data.bin")), randomBytes(300000, 9)));
    QCOMPARE(runCli({QStringLiteral("data.bin")}, dir.path()).exitCode, 0);
    const QStringList pieces = pieceNames(dir.path());
    QCOMPARE(pieces.size(), 7);
    const Files before = snapshot(dir.path());

    RecordingSink sink;
    Conversion conversion(sink, [] { return false; });
    QStringList steps;
    qint64 mostPieces = 0;
    bool cancelAtThree = true;
    std::atomic<bool> cancel{false};
    conversion.setCancelFlag(&cancel);
    conversion.setProgress([&](const BatchProgress& progress) {
        if (progress.step == BatchProgress::Step::WithinFile) {
            mostPieces = std::max(mostPieces, progress.piecesWritten);
            if (cancelAtThree && progress.piecesWritten == 3)
                cancel.store(true);
        } else {
            steps.append(QStringLiteral("%1/%2 %3")
                             .arg(progress.fileIndex)
                             .arg(progress.fileCount)
                             .arg(progress.fileName));
        }
    });

    const BatchSummary cancelled =
        conversion.joinSeries({dir.filePath(QStringLiteral("DATA_0.ptc"))});
    QVERIFY(cancelled.cancelled);
    QCOMPARE(cancelled.outputsWritten, 0);
    QCOMPARE(sink.lines, QStringList());
    QCOMPARE(snapshot(dir.path()), before);

    cancel.store(false);
    cancelAtThree = false;
    steps.clear();
    mostPieces = 0;
    const BatchSummary joined = conversion.joinSeries(
        {dir.filePath(QStringLiteral("DATA_0.ptc")), dir.filePath(QStringLiteral("DATA_5.ptc"))});
    QVERIFY(!joined.cancelled);
    QCOMPARE(joined.filesConverted, 1);
    QCOMPARE(joined.outputsWritten, 1);
    QCOMPARE(mostPieces, qint64(pieces.size()));
    QCOMPARE(steps, (QStringList{QStringLiteral("0/2 DATA_0.ptc"), QStringLiteral("1/2 DATA_5.ptc"),
                                 QStringLiteral("2/2 ")}));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("DATA.dat"))).size(),
             pieces.size() * ptc::kPayloadSize);
}

// --join converts, so it does not go with --inspect; it needs a FILE like any conversion.
void TestJoin::usage()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("NOTES.ptc")), convertDataToPTC("abc", "NOTES")));
    const Files before = snapshot(dir.path());
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--join"), QStringLiteral("--inspect"),
                      QStringLiteral("NOTES.ptc")},
          QStringList{QStringLiteral("--join"), QStringLiteral("--json"),
                      QStringLiteral("NOTES.ptc")},
          QStringList{QStringLiteral("--join")}}) {
        const Run run = runCli(arguments, dir.path());
        QCOMPARE(run.exitCode, 2);
    }
    QCOMPARE(snapshot(dir.path()), before);
    const Run help = runCli({QStringLiteral("--help")}, dir.path());
    QVERIFY(help.out.contains("--join"));
    QVERIFY2(help.out.contains("does not record how long the original file was"), help.out);
}

QTEST_GUILESS_MAIN(TestJoin)
#include "tst_join.moc"
