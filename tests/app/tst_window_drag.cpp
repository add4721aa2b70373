// SPDX-License-Identifier: MIT
// Real drags under Xvfb: the tests' own drag source, the ptcdrop window, xdotool's pointer.
#include "TestFiles.h"
#include "XvfbSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Where the windows stand: no window manager runs, so -geometry is obeyed to the pixel.
constexpr int kSourceX = 40, kSourceY = 40, kSourceSize = 160;
constexpr int kWindowX = 360, kWindowY = 40, kWindowWidth = 440, kWindowHeight = 340;
// Well inside the drop area: below the menu bar, above the hint and the checkbox.
constexpr int kTargetX = kWindowX + kWindowWidth / 2, kTargetY = kWindowY + 120;

QString geometry(int x, int y, int width, int height)
{
    return QStringLiteral("%1x%2+%3+%4").arg(width).arg(height).arg(x).arg(y);
}

// A program on the private server, stopped when the test is done with it.
class Program
{
public:
    Program(const XvfbSession& x, const QString& path, const QStringList& arguments)
    {
        m_process.setProcessEnvironment(x.environment());
        endWithParent(m_process);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(path, arguments);
    }
    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QProcess& process() { return m_process; }

    // Waits for one line on standard output.
    QString readLine(int milliseconds)
    {
        QDeadlineTimer deadline(milliseconds);
        while (!m_process.canReadLine() && !deadline.hasExpired()) {
            if (!m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
                break;
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

private:
    QProcess m_process;
};

} // namespace

class TestWindowDrag : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drag_data();
    void drag();
    void dragEndsWhileBatchRuns();
    void quitWhileAlertIsUp();
    void windowOnScreen();

private:
    // Starts ptcdrop and waits until its window is mapped.
    std::unique_ptr<Program> startWindow(const QStringList& arguments = {},
                                         QString* windowId = nullptr);
    // Drags `files` from the tests' drag source onto the drop area and releases there.
    bool dragOnto(std::unique_ptr<Program>& source, const QStringList& files, bool copyOnly);

    std::unique_ptr<XvfbSession> m_x;
};

void TestWindowDrag::initTestCase()
{
    const QString missing = XvfbSession::missingTools();
    if (!missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("real drags need Xvfb and xdotool; missing: ") + missing +
                         QStringLiteral(" (scripts/deps.sh installs them)")));
    m_x = std::make_unique<XvfbSession>();
    QString error;
    QVERIFY2(m_x->start(&error), qPrintable(error));
}

std::unique_ptr<Program> TestWindowDrag::startWindow(const QStringList& arguments,
                                                     QString* windowId)
{
    auto window = std::make_unique<Program>(
        *m_x, QStringLiteral(PTCDROP_APP),
        QStringList{QStringLiteral("-geometry"),
                    geometry(kWindowX, kWindowY, kWindowWidth, kWindowHeight)} +
            arguments);
    QString id;
    const int status = m_x->xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                     QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                     QStringLiteral("^ptcdrop$")},
                                    &id);
    if (status != 0 || id.isEmpty())
        return nullptr;
    if (windowId != nullptr)
        *windowId = id.trimmed().split(u'\n').first();
    return window;
}

bool TestWindowDrag::dragOnto(std::unique_ptr<Program>& source, const QStringList& files,
                              bool copyOnly)
{
    QStringList sourceArguments{QStringLiteral("-geometry"),
                                geometry(kSourceX, kSourceY, kSourceSize, kSourceSize)};
    if (copyOnly)
        sourceArguments.append(QStringLiteral("--copy-only"));
    sourceArguments << files;
    source = std::make_unique<Program>(*m_x, QStringLiteral(PTCDROP_DRAG_SOURCE), sourceArguments);
    if (m_x->xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                      QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                      QStringLiteral("^drag source$")}) != 0)
        return false;

    // Press on the source, move in steps (the toolkit starts a drag only after a motion
    // beyond its threshold, and tracks the target through the motions), release on the
    // drop area.
    const int startX = kSourceX + kSourceSize / 2, startY = kSourceY + kSourceSize / 2;
    QStringList pointer{
        QStringLiteral("mousemove"), QString::number(startX), QString::number(startY),
        QStringLiteral("sleep"),     QStringLiteral("0.3"),   QStringLiteral("mousedown"),
        QStringLiteral("1"),         QStringLiteral("sleep"), QStringLiteral("0.3")};
    constexpr int kSteps = 12;
    for (int step = 1; step <= kSteps; ++step) {
        pointer << QStringLiteral("mousemove")
                << QString::number(startX + (kTargetX - startX) * step / kSteps)
                << QString::number(startY + (kTargetY - startY) * step / kSteps)
                << QStringLiteral("sleep") << QStringLiteral("0.08");
    }
    pointer << QStringLiteral("sleep") << QStringLiteral("0.4") << QStringLiteral("mouseup")
            << QStringLiteral("1");
    return m_x->xdotool(pointer) == 0;
}

void TestWindowDrag::drag_data()
{
    QTest::addColumn<bool>("copyOnly");
    QTest::addColumn<QStringList>("expectedOutputs");
    QTest::addColumn<QString>("sourceSees");

    QTest::newRow("copy|link") << false
                               << QStringList{QStringLiteral("FIRST.ptc"),
                                              QStringLiteral("SECOND.ptc")}
                               << QStringLiteral("dropped link");
    QTest::newRow("copy only") << true << QStringList() << QStringLiteral("dropped ignore");
}

void TestWindowDrag::drag()
{
    QFETCH(bool, copyOnly);
    QFETCH(QStringList, expectedOutputs);
    QFETCH(QString, sourceSees);

    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.txt"));
    const QString second = dir.filePath(QStringLiteral("second.txt"));
    QVERIFY(writeFile(first, "the first file"));
    QVERIFY(writeFile(second, "the second file"));

    const std::unique_ptr<Program> window = startWindow();
    QVERIFY2(window, "the ptcdrop window did not appear");
    std::unique_ptr<Program> source;
    QVERIFY(dragOnto(source, {first, second}, copyOnly));

    // The source learns the answer when it drops; the window converts after that.
    QCOMPARE(source->readLine(20000), sourceSees);
    const auto outputList = [&dir] {
        return QDir(dir.path()).entryList({QStringLiteral("*.ptc")}, QDir::Files, QDir::Name);
    };
    if (expectedOutputs.isEmpty())
        QTest::qWait(1000);
    QTRY_COMPARE_WITH_TIMEOUT(outputList(), expectedOutputs, 20000);
    const QStringList outputs = outputList();
    for (const QString& output : outputs)
        QCOMPARE(QFileInfo(dir.filePath(output)).size(), 49200);
}

void TestWindowDrag::dragEndsWhileBatchRuns()
{
    // A file that takes seconds to gzip: the drag source must be free at once, and the
    // window must answer the window manager's pings while the batch runs.
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.txt"));
    QByteArray text;
    for (qint64 line = 0; text.size() < (96 << 20); ++line)
        text += "line " + QByteArray::number(line * 7919 % 100003) + " of a long text file\n";
    QVERIFY(writeFile(big, text));
    text.clear();

    QString windowId;
    const std::unique_ptr<Program> window = startWindow({QStringLiteral("--gzip")}, &windowId);
    QVERIFY2(window, "the ptcdrop window did not appear");
    std::unique_ptr<Program> source;
    QElapsedTimer clock;
    QVERIFY(dragOnto(source, {big}, false));
    clock.start();
    QCOMPARE(source->readLine(20000), QStringLiteral("dropped link"));
    const qint64 released = clock.elapsed();
    const auto outputs = [&dir] {
        return QDir(dir.path()).entryList({QStringLiteral("*.ptc")}, QDir::Files, QDir::Name);
    };
    QVERIFY2(outputs().isEmpty(), "the batch was over before the drag ended");
    qInfo("drag source released %lld ms after the button went up", qlonglong(released));
    QVERIFY2(released < 1000, qPrintable(QStringLiteral("%1 ms").arg(released)));

#ifdef PTCDROP_WM_PING
    QProcess ping;
    ping.setProcessEnvironment(m_x->environment());
    ping.start(QStringLiteral(PTCDROP_WM_PING),
               {windowId, QStringLiteral("5"), QStringLiteral("100")});
    QVERIFY(ping.waitForFinished(20000));
    const QByteArray answers = ping.readAllStandardOutput();
    qInfo("pings during the batch: %s", answers.simplified().constData());
    QVERIFY2(outputs().isEmpty(), "the batch was over before the pings ended");
    QCOMPARE(ping.exitCode(), 0);
#endif
    QTRY_VERIFY_WITH_TIMEOUT(!outputs().isEmpty(), 120000);
}

void TestWindowDrag::quitWhileAlertIsUp()
{
    // The files given at start make the first alert come up at once; Quit's shortcut must
    // reach the program through the message box that has the keyboard, and the file after
    // the alert is not converted once the user has asked to quit.
    QTemporaryDir dir;
    QByteArray header(48, '\0');
    header.replace(0, 4, "PX01");
    header.replace(45, 3, "ZZZ");
    QVERIFY(writeFile(dir.filePath(QStringLiteral("foreign.ptc")), header));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("later.txt")), "later"));
    const auto entries = [&dir] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    const QStringList before = entries();

    const std::unique_ptr<Program> window = startWindow(
        {dir.filePath(QStringLiteral("foreign.ptc")), dir.filePath(QStringLiteral("later.txt"))});
    QVERIFY2(window, "the ptcdrop window did not appear");
    // The alert: a visible window of the program without a title.
    const QString pid = QString::number(window->process().processId());
    QTRY_VERIFY_WITH_TIMEOUT(m_x->xdotool({QStringLiteral("search"),
                                           QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                           pid, QStringLiteral("--name"), QStringLiteral("^$")}) ==
                                 0,
                             20000);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_x->xdotool({QStringLiteral("key"), QStringLiteral("ctrl+q")}), 0);
    QVERIFY2(window->process().waitForFinished(3000), "still running 3 s after Ctrl+Q");
    qInfo("ended %lld ms after Ctrl+Q", qlonglong(clock.elapsed()));
    QCOMPARE(window->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(window->process().exitCode(), 0);
    QCOMPARE(entries(), before);
}

void TestWindowDrag::windowOnScreen()
{
    // What the user sees: the window painted on a real X server, the drop area brown.
    // PTCDROP_SCREENSHOT=path keeps the picture (docs/window.png is made this way).
    const std::unique_ptr<Program> window = startWindow();
    QVERIFY2(window, "the ptcdrop window did not appear");
    QTest::qWait(500);

    QTemporaryDir dir;
    const QString shot =
        qEnvironmentVariable("PTCDROP_SCREENSHOT", dir.filePath(QStringLiteral("window.png")));
    QProcess grab;
    grab.setProcessEnvironment(m_x->environment());
    grab.start(QStringLiteral(PTCDROP_DRAG_SOURCE),
               {QStringLiteral("--screenshot"), shot, QString::number(kWindowX),
                QString::number(kWindowY), QString::number(kWindowWidth),
                QString::number(kWindowHeight)});
    QVERIFY(grab.waitForFinished(20000));
    QCOMPARE(grab.exitCode(), 0);

    const QImage image(shot);
    QCOMPARE(image.size(), QSize(kWindowWidth, kWindowHeight));
    QCOMPARE(image.pixelColor(kTargetX - kWindowX, kTargetY - kWindowY).name(),
             QColor::fromRgbF(0.6, 0.4, 0.2).name());
}

QTEST_GUILESS_MAIN(TestWindowDrag)
#include "tst_window_drag.moc"
