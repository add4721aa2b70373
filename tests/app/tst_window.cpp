// SPDX-License-Identifier: MIT
// The desktop window on the offscreen platform: drag answers, drops, alerts, painting, start.
#include "BatchController.h"
#include "DropAction.h"
#include "MessageBoxAlert.h"
#include "Messages.h"
#include "ProgressWindow.h"
#include "PtcFormat.h"
#include "QvAppDelegate.h"
#include "QvDropView.h"
#include "TestFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileOpenEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include <cstdio>
#include <functional>
#include <memory>
#include <sys/stat.h>

using ptcdrop::Alert;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const QColor kBrown = QColor::fromRgbF(0.6, 0.4, 0.2);

// Records every alert; `onAlert` runs while the batch waits, as a message box would.
class RecordingAlerts : public ptcdrop::AlertSink
{
public:
    void alert(const Alert& alert) override
    {
        alerts.append(alert);
        if (onAlert)
            onAlert(alert);
    }
    QList<Alert> alerts;
    std::function<void(const Alert&)> onAlert;
};

Alert resourceAlert(const QString& tag)
{
    return Alert{QStringLiteral("Resource"), tag};
}

std::unique_ptr<QMimeData> mimeFor(const QStringList& urls, const QString& text = {})
{
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> list;
    for (const QString& url : urls)
        list.append(QUrl(url));
    if (!list.isEmpty())
        mime->setUrls(list);
    if (!text.isEmpty())
        mime->setText(text);
    return mime;
}

std::unique_ptr<QMimeData> mimeForFiles(const QStringList& paths)
{
    QStringList urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path).toString());
    return mimeFor(urls);
}

// The toolkit remembers the widget that accepted a drag's entry until the drag leaves it;
// a synthetic drag must leave too, or the next test's drag meets a widget that is gone.
void endDrag(QWidget& view)
{
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(&view, &leave);
}

struct Answer
{
    bool accepted;
    Qt::DropAction action;
};

// Enters and drops, as the toolkit does: it delivers the drop only to a widget that
// accepted the entry.
Answer drop(QWidget& view, const QMimeData* mime, Qt::DropActions offered)
{
    QDragEnterEvent enter(QPoint(5, 5), offered, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    QDropEvent event(QPointF(5, 5), offered, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &event);
    endDrag(view);
    return {event.isAccepted(), event.dropAction()};
}

// A drop that arrives although the entry was refused, straight at the widget's handler.
Answer dropWithoutEntry(QWidget& view, const QMimeData* mime, Qt::DropActions offered)
{
    QDropEvent event(QPointF(5, 5), offered, mime, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject&>(view).event(&event);
    return {event.isAccepted(), event.dropAction()};
}

// A container header with a resource tag the conversion does not handle: one "Resource"
// alert, and nothing written.
void writeForeignContainer(const QString& path, const QByteArray& tag)
{
    QByteArray bytes(ptcdrop::ptc::kHeaderSize, '\0');
    bytes.replace(ptcdrop::ptc::kSignatureOffset, ptcdrop::ptc::kSignatureLength,
                  ptcdrop::ptc::kSignature);
    bytes.replace(ptcdrop::ptc::kTagOffset, tag.size(), tag);
    QVERIFY(writeFile(path, bytes));
}

QStringList entries(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

QList<QMessageBox*> visibleMessageBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            boxes.append(box);
    }
    return boxes;
}

// What a message box showed, read from inside its modal loop.
struct SeenBox
{
    QString text;
    QString title;
    Qt::TextFormat format;
    Qt::WindowModality modality;
    QMessageBox::StandardButtons buttons;
    qsizetype buttonCount;
    qsizetype visibleBoxes;
    std::optional<Qt::CursorShape> cursor;
};

// Closes every message box that becomes the active modal window, recording what it showed.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            const QCursor* cursor = QApplication::overrideCursor();
            seen.append(SeenBox{box->text(), box->windowTitle(), box->textFormat(),
                                box->windowModality(), box->standardButtons(),
                                box->buttons().size(), visibleMessageBoxes().size(),
                                cursor ? std::optional(cursor->shape()) : std::nullopt});
            box->button(QMessageBox::Ok)->click();
        });
        m_timer.start(10);
    }
    QList<SeenBox> seen;

private:
    QTimer m_timer;
};

// The real window, its batches recorded instead of shown in message boxes.
struct Window
{
    Window()
    {
        delegate.applicationDidFinishLaunching();
        delegate.batches()->setAlertPresenter(&alerts);
        // Files are prepared ahead on a second thread whatever the machine's cores: the
        // order of results, alerts and gzip switch reads must not show it.
        delegate.batches()->setJobs(2);
    }
    QvDropView& view() { return *delegate.dropView(); }
    // Waits for the running batch, if any, to end.
    bool waitForBatch(int milliseconds = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        while (delegate.batches()->isRunning() && clock.elapsed() < milliseconds)
            QTest::qWait(5);
        return !delegate.batches()->isRunning();
    }
    RecordingAlerts alerts;
    QvAppDelegate delegate;
};

// Every entry of a folder, hidden ones included.
QStringList allEntries(const QString& directory)
{
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs the application's own loop until it quits; false when it did not within `limit`.
bool quitsWithin(int limit)
{
    bool inTime = true;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&inTime] {
        inTime = false;
        QCoreApplication::exit(1);
    });
    watchdog.start(limit);
    return QCoreApplication::exec() == 0 && inTime;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void dropActionRule_data();
    void dropActionRule();
    void waylandSession_data();
    void waylandSession();
    void dragAnswer_data();
    void dragAnswer();
    void refusedDropChangesNothing_data();
    void refusedDropChangesNothing();
    void folderRefusesWholeBatch();
    void filesConvertedInDropOrder_data();
    void filesConvertedInDropOrder();
    void dropReturnsBeforeBatchEnds();
    void nameThatIsNotTextIsRefused();
    void gzipSwitchReadPerFile();
    void busyWhileConverting_data();
    void busyWhileConverting();

    void messageBox_data();
    void messageBox();
    void messageBoxesOneAfterAnother();

    void paintsOnlyBrown();
    void partialRepaint_data();
    void partialRepaint();

    void delegateBuildsWindow();
    void closingWindowQuits();
    void closeEndsRunningBatch_data();
    void closeEndsRunningBatch();
    void cancelInsideLargeFile_data();
    void cancelInsideLargeFile();
    void filesGivenAtStart();
    void helpAndVersionOnStandardOutput_data();
    void helpAndVersionOnStandardOutput();
    void fileOpenEventConverts_data();
    void fileOpenEventConverts();
    void joinPiecesFromMenu_data();
    void joinPiecesFromMenu();

private:
    QTranslator m_strings;
};

void TestWindow::initTestCase()
{
    QVERIFY(ptcdrop::loadStringTable(m_strings, QLocale(QLocale::English)));
    QCoreApplication::installTranslator(&m_strings);
}

void TestWindow::dropActionRule_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("waylandSession");
    QTest::addColumn<Qt::DropActions>("offered");
    QTest::addColumn<Qt::DropAction>("expected");

    const QString xcb = QStringLiteral("xcb");
    const QString wayland = QStringLiteral("wayland");
    const QString waylandEgl = QStringLiteral("wayland-egl");
    using A = Qt::DropActions;
    const A copy(Qt::CopyAction), move(Qt::MoveAction), link(Qt::LinkAction), none;
    // Ask is what a Wayland source offers for "choose on drop"; Qt has no flag for it, so it
    // arrives as copy and move together.
    // clang-format off
    QTest::newRow("xcb, X11 session, link")             << xcb << false << link               << Qt::LinkAction;
    QTest::newRow("xcb, X11 session, copy|link")        << xcb << false << (copy | link)      << Qt::LinkAction;
    QTest::newRow("xcb, X11 session, all")              << xcb << false << (copy | move | link) << Qt::LinkAction;
    QTest::newRow("xcb, X11 session, move|link")        << xcb << false << (move | link)      << Qt::LinkAction;
    QTest::newRow("xcb, X11 session, copy")             << xcb << false << copy               << Qt::IgnoreAction;
    QTest::newRow("xcb, X11 session, copy|move")        << xcb << false << (copy | move)      << Qt::IgnoreAction;
    QTest::newRow("xcb, X11 session, move")             << xcb << false << move               << Qt::IgnoreAction;
    QTest::newRow("xcb, X11 session, nothing")          << xcb << false << none               << Qt::IgnoreAction;
    QTest::newRow("xcb, Wayland session, copy")         << xcb << true  << copy               << Qt::CopyAction;
    QTest::newRow("xcb, Wayland session, copy|move")    << xcb << true  << (copy | move)      << Qt::CopyAction;
    QTest::newRow("xcb, Wayland session, link")         << xcb << true  << link               << Qt::LinkAction;
    QTest::newRow("xcb, Wayland session, move")         << xcb << true  << move               << Qt::IgnoreAction;
    QTest::newRow("xcb, Wayland session, nothing")      << xcb << true  << none               << Qt::IgnoreAction;
    QTest::newRow("wayland, Wayland session, copy")     << wayland << true << copy            << Qt::CopyAction;
    QTest::newRow("wayland, Wayland session, ask")      << wayland << true << (copy | move)   << Qt::CopyAction;
    QTest::newRow("wayland, Wayland session, all")      << wayland << true << (copy | move | link) << Qt::LinkAction;
    QTest::newRow("wayland, Wayland session, move")     << wayland << true << move            << Qt::IgnoreAction;
    QTest::newRow("wayland, Wayland session, nothing")  << wayland << true << none            << Qt::IgnoreAction;
    QTest::newRow("wayland, no session variables, copy") << wayland << false << copy          << Qt::CopyAction;
    QTest::newRow("wayland-egl, copy|move")             << waylandEgl << true << (copy | move) << Qt::CopyAction;
    QTest::newRow("wayland-egl, move")                  << waylandEgl << true << move         << Qt::IgnoreAction;
    // clang-format on
}

void TestWindow::dropActionRule()
{
    QFETCH(QString, platform);
    QFETCH(bool, waylandSession);
    QFETCH(Qt::DropActions, offered);
    QFETCH(Qt::DropAction, expected);
    const Qt::DropAction answer =
        ptcdrop::dropActionFor(offered, ptcdrop::DropSetting{platform, waylandSession});
    QCOMPARE(answer, expected);
    QVERIFY(answer != Qt::MoveAction);
}

void TestWindow::waylandSession_data()
{
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("sessionType");
    QTest::addColumn<bool>("expected");
    // clang-format off
    QTest::newRow("neither")              << QByteArray()           << QByteArray()          << false;
    QTest::newRow("x11 session")          << QByteArray()           << QByteArray("x11")     << false;
    QTest::newRow("tty session")          << QByteArray()           << QByteArray("tty")     << false;
    QTest::newRow("display set")          << QByteArray("wayland-0") << QByteArray()         << true;
    QTest::newRow("display, x11 type")    << QByteArray("wayland-0") << QByteArray("x11")    << true;
    QTest::newRow("session type only")    << QByteArray()           << QByteArray("wayland") << true;
    QTest::newRow("session type, case")   << QByteArray()           << QByteArray("Wayland") << true;
    // clang-format on
}

void TestWindow::waylandSession()
{
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, sessionType);
    QFETCH(bool, expected);
    QCOMPARE(ptcdrop::isWaylandSession(waylandDisplay, sessionType), expected);
}

void TestWindow::dragAnswer_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Qt::DropActions>("offered");
    QTest::addColumn<bool>("accepted");

    const QStringList files{QStringLiteral("file:///tmp/a.txt"),
                            QStringLiteral("file:///tmp/b.ptc")};
    const Qt::DropActions copyLink = Qt::CopyAction | Qt::LinkAction;
    // clang-format off
    QTest::newRow("files, copy|link")      << files << QString() << copyLink                  << true;
    QTest::newRow("files, link")           << files << QString() << Qt::DropActions(Qt::LinkAction) << true;
    QTest::newRow("files, all three")      << files << QString() << (copyLink | Qt::MoveAction) << true;
    QTest::newRow("files, copy only")      << files << QString() << Qt::DropActions(Qt::CopyAction) << false;
    QTest::newRow("files, copy|move")      << files << QString() << (Qt::CopyAction | Qt::MoveAction) << false;
    QTest::newRow("text only")             << QStringList() << QStringLiteral("/tmp/a.txt") << copyLink << false;
    QTest::newRow("web link")              << QStringList{QStringLiteral("https://example.org/a.txt")} << QString() << copyLink << false;
    QTest::newRow("file among web links")  << QStringList{files[0], QStringLiteral("https://example.org/a.txt")} << QString() << copyLink << false;
    // clang-format on
}

void TestWindow::dragAnswer()
{
    QFETCH(QStringList, urls);
    QFETCH(QString, text);
    QFETCH(Qt::DropActions, offered);
    QFETCH(bool, accepted);

    QvDropView view;
    const auto mime = mimeFor(urls, text);

    QDragEnterEvent enter(QPoint(5, 5), offered, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    if (accepted)
        QCOMPARE(enter.dropAction(), Qt::LinkAction);

    // Shift proposes move; the answer must stay what it was on entry.
    QDragMoveEvent move(QPoint(8, 8), offered, mime.get(), Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&view, &move);
    endDrag(view);
    QCOMPARE(move.isAccepted(), accepted);
    if (accepted)
        QCOMPARE(move.dropAction(), Qt::LinkAction);
}

void TestWindow::refusedDropChangesNothing_data()
{
    QTest::addColumn<bool>("filesInDrag");
    QTest::addColumn<Qt::DropActions>("offered");

    QTest::newRow("copy only") << true << Qt::DropActions(Qt::CopyAction);
    QTest::newRow("move only") << true << Qt::DropActions(Qt::MoveAction);
    QTest::newRow("text only") << false << (Qt::CopyAction | Qt::LinkAction);
}

void TestWindow::refusedDropChangesNothing()
{
    QFETCH(bool, filesInDrag);
    QFETCH(Qt::DropActions, offered);

    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("notes.txt"));
    QVERIFY(writeFile(source, "some notes"));
    const QStringList before{QStringLiteral("/earlier/drop.txt")};

    QvDropView view;
    QSignalSpy handedOn(&view, &QvDropView::batchDropped);
    view.setFiles(before);

    const auto mime = filesInDrag ? mimeForFiles({source}) : mimeFor({}, source);
    QVERIFY(!drop(view, mime.get(), offered).accepted);
    QVERIFY(!dropWithoutEntry(view, mime.get(), offered).accepted);
    QCOMPARE(view.files(), before);
    QCOMPARE(handedOn.count(), 0);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("notes.txt")});
}

void TestWindow::folderRefusesWholeBatch()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.txt"));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    const QString second = dir.filePath(QStringLiteral("second.txt"));
    QVERIFY(writeFile(first, "first"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(writeFile(second, "second"));
    const QStringList batch{first, folder, second};
    const QStringList before = entries(dir.path());

    Window window;
    const auto mime = mimeForFiles(batch);
    const Answer answer = drop(window.view(), mime.get(), Qt::CopyAction | Qt::LinkAction);
    QVERIFY(window.waitForBatch());

    QVERIFY(!answer.accepted);
    const QList<Alert> expected{Alert{QStringLiteral("Directory"), std::nullopt}};
    QCOMPARE(window.alerts.alerts, expected);
    QCOMPARE(window.view().files(), batch);
    QCOMPARE(entries(dir.path()), before);
    QVERIFY(entries(folder).isEmpty());
}

void TestWindow::filesConvertedInDropOrder_data()
{
    QTest::addColumn<bool>("markdownFirst");
    QTest::newRow("notes.md, notes.txt") << true;
    QTest::newRow("notes.txt, notes.md") << false;
}

void TestWindow::filesConvertedInDropOrder()
{
    // Both pack to NOTES.ptc: the file dropped first is converted, and the second, whose
    // output would replace the first one's, gets "Save" and writes nothing.
    QFETCH(bool, markdownFirst);
    QTemporaryDir dir;
    const QString markdown = dir.filePath(QStringLiteral("notes.md"));
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QVERIFY(writeFile(markdown, "# the markdown notes"));
    QVERIFY(writeFile(text, "the plain text notes"));
    const QStringList batch =
        markdownFirst ? QStringList{markdown, text} : QStringList{text, markdown};

    Window window;
    const auto mime = mimeForFiles(batch);
    const Answer answer = drop(window.view(), mime.get(), Qt::CopyAction | Qt::LinkAction);
    QVERIFY(window.waitForBatch());

    QVERIFY(answer.accepted);
    QCOMPARE(answer.action, Qt::LinkAction);
    const QList<Alert> saveRefused{Alert{QStringLiteral("Save"), QStringLiteral("NOTES.ptc")}};
    QCOMPARE(window.alerts.alerts, saveRefused);
    QCOMPARE(window.view().files(), batch);
    const QByteArray container = readFile(dir.filePath(QStringLiteral("NOTES.ptc")));
    QCOMPARE(container.size(), ptcdrop::ptc::kContainerSize);
    const QByteArray first = markdownFirst ? "# the markdown notes" : "the plain text notes";
    const QByteArray second = markdownFirst ? "the plain text notes" : "# the markdown notes";
    QVERIFY(container.contains(first));
    QVERIFY(!container.contains(second));
}

void TestWindow::dropReturnsBeforeBatchEnds()
{
    // The first file's alert holds the worker until the GUI thread shows it, which it can
    // only do once the drop has returned: the later file cannot be converted before that.
    QTemporaryDir dir;
    const QString foreign = dir.filePath(QStringLiteral("foreign.ptc"));
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    writeForeignContainer(foreign, "ZZZ");
    QVERIFY(writeFile(notes, "notes"));
    const QString output = dir.filePath(QStringLiteral("NOTES.ptc"));

    Window window;
    bool outputDuringAlert = true;
    window.alerts.onAlert = [&](const Alert&) { outputDuringAlert = QFile::exists(output); };
    QSignalSpy finished(window.delegate.batches(), &ptcdrop::BatchController::finished);
    const auto mime = mimeForFiles({foreign, notes});
    QVERIFY(drop(window.view(), mime.get(), Qt::LinkAction).accepted);

    QVERIFY(window.delegate.batches()->isRunning());
    QVERIFY(!QFile::exists(output));
    // While it runs, the next drag is refused.
    QVERIFY(!drop(window.view(), mime.get(), Qt::LinkAction).accepted);

    QVERIFY(window.waitForBatch());
    QVERIFY(!outputDuringAlert);
    QVERIFY(QFile::exists(output));
    QCOMPARE(window.alerts.alerts, QList<Alert>{resourceAlert(QStringLiteral("ZZZ"))});
    QCOMPARE(finished.count(), 1);
    QCOMPARE(window.delegate.window()->statusBar()->currentMessage(),
             QStringLiteral("Done: 1 files converted, 1 outputs written, 1 problems shown."));
    // Drags are taken again.
    QVERIFY(!window.view().isRefusingDrops());
}

void TestWindow::nameThatIsNotTextIsRefused()
{
    // A folder named by the byte 0xff beside one really named U+FFFD: Qt's text of the
    // first one's URL names the second, whose files must stay untouched.
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    const QByteArray odd = root + "/\xff";
    const QByteArray twin = root + "/\xef\xbf\xbd";
    QVERIFY(QDir().mkdir(QFile::decodeName(twin)));
    QVERIFY(::mkdir(odd.constData(), 0700) == 0);
    {
        FILE* file = std::fopen((odd + "/a.txt").constData(), "w");
        QVERIFY(file != nullptr);
        std::fputs("user", file);
        std::fclose(file);
    }
    QVERIFY(writeFile(QFile::decodeName(twin + "/a.txt"), "other"));
    QVERIFY(writeFile(QFile::decodeName(twin + "/A.ptc"), "precious"));
    const QStringList twinBefore = allEntries(QFile::decodeName(twin));

    Window window;
    auto mime = std::make_unique<QMimeData>();
    mime->setUrls({QUrl(QStringLiteral("file://") + dir.path() + QStringLiteral("/%FF/a.txt"))});
    QVERIFY(drop(window.view(), mime.get(), Qt::LinkAction).accepted);
    QVERIFY(window.waitForBatch());

    const QList<Alert> expected{
        Alert{QStringLiteral("Name"), QString::fromUtf8(root) + QStringLiteral("/\\xff/a.txt")}};
    QCOMPARE(window.alerts.alerts, expected);
    QCOMPARE(allEntries(QFile::decodeName(twin)), twinBefore);
    QCOMPARE(readFile(QFile::decodeName(twin + "/A.ptc")), QByteArray("precious"));
}

void TestWindow::gzipSwitchReadPerFile()
{
    // The box is ticked while the batch stands at its second file: the first file is packed
    // as it is, the third one gzipped.
    QTemporaryDir dir;
    const QByteArray content = QByteArray("a line that gzip shortens a lot\n").repeated(64);
    const QString before = dir.filePath(QStringLiteral("before.txt"));
    const QString foreign = dir.filePath(QStringLiteral("foreign.ptc"));
    const QString after = dir.filePath(QStringLiteral("after.txt"));
    QVERIFY(writeFile(before, content));
    writeForeignContainer(foreign, "ZZZ");
    QVERIFY(writeFile(after, content));

    Window window;
    window.alerts.onAlert = [&](const Alert&) { window.delegate.gzipCheckBox()->setChecked(true); };
    const auto mime = mimeForFiles({before, foreign, after});
    QVERIFY(drop(window.view(), mime.get(), Qt::LinkAction).accepted);
    QVERIFY(window.waitForBatch());

    const QList<Alert> expected{resourceAlert(QStringLiteral("ZZZ"))};
    QCOMPARE(window.alerts.alerts, expected);
    const QByteArray plain = readFile(dir.filePath(QStringLiteral("BEFORE.ptc")));
    const QByteArray gzipped = readFile(dir.filePath(QStringLiteral("AFTER.ptc")));
    QVERIFY(plain.contains(content));
    QVERIFY(!gzipped.contains(content.left(64)));
    QVERIFY(gzipped.contains(QByteArray("\x1f\x8b\x08", 3)));
}

void TestWindow::busyWhileConverting_data()
{
    QTest::addColumn<int>("progressDelay");
    QTest::addColumn<bool>("progressShown");
    QTest::newRow("long batch") << 0 << true;
    QTest::newRow("short batch") << 60000 << false;
}

void TestWindow::busyWhileConverting()
{
    QFETCH(int, progressDelay);
    QFETCH(bool, progressShown);

    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.ptc"));
    const QString middle = dir.filePath(QStringLiteral("middle.txt"));
    const QString last = dir.filePath(QStringLiteral("last.ptc"));
    writeForeignContainer(first, "AAA");
    QVERIFY(writeFile(middle, "middle"));
    writeForeignContainer(last, "BBB");

    Window window;
    window.delegate.batches()->setProgressDelay(progressDelay);
    ptcdrop::ProgressWindow* progress = window.delegate.batches()->progressWindow();
    QStringList progressTexts;
    QList<bool> busy;
    window.alerts.onAlert = [&](const Alert&) {
        // Long enough for the progress window to come up to date.
        QTest::qWait(300);
        const QCursor* cursor = QApplication::overrideCursor();
        busy.append(cursor != nullptr && cursor->shape() == Qt::BusyCursor);
        QString text;
        if (progress->isVisible()) {
            for (const QLabel* label : progress->findChildren<QLabel*>())
                text += label->text() + u'|';
            // Centred on the main window.
            const QPoint offset = progress->frameGeometry().center() -
                                  window.delegate.window()->frameGeometry().center();
            if (offset.manhattanLength() > 4)
                text += QStringLiteral("off centre");
        }
        progressTexts.append(text);
    };
    const auto mime = mimeForFiles({first, middle, last});
    QVERIFY(drop(window.view(), mime.get(), Qt::LinkAction).accepted);
    QVERIFY(window.waitForBatch());

    QCOMPARE(window.alerts.alerts.size(), 2);
    QCOMPARE(busy, QList<bool>({true, true}));
    const QStringList expected =
        progressShown
            ? QStringList{QStringLiteral(
                              "File 1 of 3: first.ptc|0 bytes of 0 bytes read, 0 pieces written|"),
                          QStringLiteral(
                              "File 3 of 3: last.ptc|0 bytes of 0 bytes read, 0 pieces written|")}
            : QStringList{QString(), QString()};
    QCOMPARE(progressTexts, expected);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("MIDDLE.ptc"))));

    // All gone once the batch has ended.
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(!progress->isVisible());
}

void TestWindow::messageBox_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<std::optional<QString>>("argument");
    QTest::addColumn<bool>("duringBatch");
    QTest::addColumn<QString>("expected");

    // clang-format off
    QTest::newRow("markup shown literally") << QStringLiteral("Save") << std::optional(QStringLiteral("<b>x</b>.txt")) << false
        << QStringLiteral("The file “<b>x</b>.txt” could not be saved.");
    QTest::newRow("percent signs kept")     << QStringLiteral("Resource") << std::optional(QStringLiteral("%@%")) << true
        << QStringLiteral("The container holds a resource of type “%@%”, which cannot be converted.");
    QTest::newRow("no argument")            << QStringLiteral("Directory") << std::optional<QString>() << true
        << QStringLiteral("Folders cannot be converted. Drop files only; nothing was converted.");
    QTest::newRow("key without text")       << QStringLiteral("NoSuchKey") << std::optional(QStringLiteral("arg")) << false
        << QStringLiteral("NoSuchKey");
    // clang-format on
}

void TestWindow::messageBox()
{
    QFETCH(QString, key);
    QFETCH(std::optional<QString>, argument);
    QFETCH(bool, duringBatch);
    QFETCH(QString, expected);

    if (duringBatch)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    BoxCloser closer;
    ptcdrop::MessageBoxAlert().alert(Alert{key, argument});

    QCOMPARE(closer.seen.size(), 1);
    const SeenBox& box = closer.seen.first();
    QCOMPARE(box.text, expected);
    QCOMPARE(box.format, Qt::PlainText);
    QCOMPARE(box.title, QString());
    QCOMPARE(box.modality, Qt::ApplicationModal);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.buttonCount, 1);
    // The batch's busy cursor gives way to the arrow while the box waits, and comes back.
    if (duringBatch) {
        QCOMPARE(box.cursor, std::optional(Qt::ArrowCursor));
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        QApplication::restoreOverrideCursor();
    } else {
        QCOMPARE(box.cursor, std::nullopt);
    }
}

void TestWindow::messageBoxesOneAfterAnother()
{
    // The view's own alerts: three failing files, three boxes, each on its own.
    QTemporaryDir dir;
    QStringList batch;
    for (const char* tag : {"AB%", "<i>", "XYZ"}) {
        const QString path = dir.filePath(QStringLiteral("file%1.ptc").arg(batch.size()));
        writeForeignContainer(path, tag);
        batch.append(path);
    }
    QvAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    // With the progress window up from the start: each box must still come on top of it,
    // where the user can reach its button.
    delegate.batches()->setProgressDelay(0);
    BoxCloser closer;
    const auto mime = mimeForFiles(batch);
    QVERIFY(drop(*delegate.dropView(), mime.get(), Qt::LinkAction).accepted);
    QTRY_VERIFY_WITH_TIMEOUT(!delegate.batches()->isRunning(), 20000);

    QStringList texts;
    for (const SeenBox& box : std::as_const(closer.seen)) {
        texts.append(box.text);
        QCOMPARE(box.visibleBoxes, 1);
    }
    const QString resource =
        QStringLiteral("The container holds a resource of type “%1”, which cannot be converted.");
    QCOMPARE(texts,
             QStringList({resource.arg(QStringLiteral("AB%")), resource.arg(QStringLiteral("<i>")),
                          resource.arg(QStringLiteral("XYZ"))}));
}

void TestWindow::paintsOnlyBrown()
{
    QvDropView view;
    view.resize(120, 80);
    // No highlight while a drag hovers.
    const auto mime = mimeForFiles({QStringLiteral("/tmp/a.txt")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::LinkAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    QVERIFY(enter.isAccepted());
    endDrag(view);

    const QImage image = view.grab().toImage();
    QCOMPARE(image.size(), QSize(120, 80));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != kBrown.rgb())
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3")
                                     .arg(x)
                                     .arg(y)
                                     .arg(QColor(image.pixel(x, y)).name())));
        }
    }
}

void TestWindow::partialRepaint_data()
{
    QTest::addColumn<QRect>("dirty");
    QTest::newRow("corner") << QRect(0, 0, 10, 10);
    QTest::newRow("middle") << QRect(30, 20, 40, 25);
    QTest::newRow("one pixel") << QRect(119, 79, 1, 1);
}

void TestWindow::partialRepaint()
{
    QFETCH(QRect, dirty);
    QvDropView view;
    view.resize(120, 80);

    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    // Without the window background: only what paintEvent draws for the region lands, at
    // the region's own place.
    view.render(&image, dirty.topLeft(), QRegion(dirty), QWidget::RenderFlags());

    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb expected = dirty.contains(x, y) ? kBrown.rgb() : QColor(Qt::white).rgb();
            if (image.pixel(x, y) != expected)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3")
                                     .arg(x)
                                     .arg(y)
                                     .arg(QColor(image.pixel(x, y)).name())));
        }
    }
}

void TestWindow::delegateBuildsWindow()
{
    QvAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    QMainWindow* window = delegate.window();
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window));

    QCOMPARE(window->windowTitle(), QStringLiteral("ptcdrop"));
    QVERIFY(window->minimumWidth() >= 240 && window->minimumHeight() >= 180);
    QVERIFY(delegate.dropView() != nullptr);
    QVERIFY(delegate.dropView()->acceptDrops());
    QVERIFY(window->isAncestorOf(delegate.dropView()));
    QCOMPARE(delegate.dropView()->gzipButton(), delegate.gzipCheckBox());
    QCOMPARE(delegate.gzipCheckBox()->text(),
             QStringLiteral("Gzip when packing, gunzip when unpacking"));
    QVERIFY(!delegate.gzipCheckBox()->isChecked());

    QStringList menus;
    for (QAction* menu : window->menuBar()->actions()) {
        QStringList items{menu->text()};
        for (QAction* item : menu->menu()->actions())
            items.append(item->text());
        menus.append(items.join(u'>'));
    }
    QCOMPARE(menus, QStringList({QStringLiteral("&File>&Join Pieces…>>&Quit"),
                                 QStringLiteral("&Help>&About ptcdrop")}));
}

void TestWindow::closingWindowQuits()
{
    // Another window stays open, so the toolkit's "last window closed" rule does not apply.
    QWidget other;
    other.show();
    QvAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    QVERIFY(QTest::qWaitForWindowExposed(delegate.window()));

    bool quitInTime = true;
    QTimer::singleShot(0, delegate.window(), &QWidget::close);
    // A timer of this test's own: one left with the application would fire in a later
    // test, after `quitInTime` is gone.
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, qApp, [&quitInTime] {
        quitInTime = false;
        QCoreApplication::exit(1);
    });
    deadline.start(10000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(quitInTime);
}

void TestWindow::closeEndsRunningBatch_data()
{
    QTest::addColumn<bool>("escapeFirst");
    QTest::newRow("close while an alert is up") << false;
    QTest::newRow("Escape on the progress window, then close") << true;
}

void TestWindow::closeEndsRunningBatch()
{
    // A real message box is up when the window is closed; the file after it must not be
    // converted, and the program must end at once.
    QFETCH(bool, escapeFirst);
    QTemporaryDir dir;
    const QString foreign = dir.filePath(QStringLiteral("foreign.ptc"));
    const QString later = dir.filePath(QStringLiteral("later.txt"));
    writeForeignContainer(foreign, "ZZZ");
    QVERIFY(writeFile(later, "later"));
    const QStringList before = allEntries(dir.path());

    QvAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    delegate.batches()->setProgressDelay(0);
    QVERIFY(QTest::qWaitForWindowExposed(delegate.window()));
    const auto mime = mimeForFiles({foreign, later});
    QVERIFY(drop(*delegate.dropView(), mime.get(), Qt::LinkAction).accepted);

    QElapsedTimer closedAt;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) == nullptr)
            return;
        ptcdrop::ProgressWindow* progress = delegate.batches()->progressWindow();
        if (escapeFirst && !progress->isVisible())
            return; // not up yet
        poll.stop();
        if (escapeFirst)
            QTest::keyClick(progress, Qt::Key_Escape);
        closedAt.start();
        delegate.window()->close();
    });
    poll.start(20);
    QVERIFY(quitsWithin(3000));
    qInfo("the loop ended %lld ms after the close", qlonglong(closedAt.elapsed()));
    QVERIFY(!delegate.batches()->isRunning());
    QCOMPARE(allEntries(dir.path()), before);
}

void TestWindow::cancelInsideLargeFile_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel button") << false;
    QTest::newRow("Escape") << true;
}

void TestWindow::cancelInsideLargeFile()
{
    // The file before keeps its output; the large one, stopped part way, leaves nothing of
    // its own (no piece, no temporary); the file after is not touched.
    QFETCH(bool, escape);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("before.txt")), "before"));
    QByteArray text;
    for (qint64 line = 0; text.size() < (48 << 20); ++line)
        text += "line " + QByteArray::number(line * 7919 % 100003) + " of a long text\n";
    QVERIFY(writeFile(dir.filePath(QStringLiteral("large.txt")), text));
    text.clear();
    QVERIFY(writeFile(dir.filePath(QStringLiteral("after.txt")), "after"));

    Window window;
    window.delegate.gzipCheckBox()->setChecked(true);
    window.delegate.batches()->setProgressDelay(0);
    ptcdrop::ProgressWindow* progress = window.delegate.batches()->progressWindow();
    const auto mime = mimeForFiles({dir.filePath(QStringLiteral("before.txt")),
                                    dir.filePath(QStringLiteral("large.txt")),
                                    dir.filePath(QStringLiteral("after.txt"))});
    QVERIFY(drop(window.view(), mime.get(), Qt::LinkAction).accepted);

    // Inside the large file: it has begun to be read.
    const auto inLargeFile = [&] {
        QStringList texts;
        for (const QLabel* label : progress->findChildren<QLabel*>())
            texts.append(label->text());
        return progress->isVisible() &&
               texts.join(u'|').startsWith(QLatin1StringView("File 2 of 3")) &&
               !texts.join(u'|').contains(QLatin1StringView("|0 bytes of"));
    };
    QTRY_VERIFY_WITH_TIMEOUT(inLargeFile(), 20000);
    QElapsedTimer clock;
    clock.start();
    if (escape)
        QTest::keyClick(progress, Qt::Key_Escape);
    else
        progress->findChild<QPushButton*>()->click();
    QVERIFY(window.waitForBatch());
    qInfo("stopped %lld ms after the request", qlonglong(clock.elapsed()));
    QVERIFY(clock.elapsed() < 1000);

    QCOMPARE(allEntries(dir.path()),
             QStringList({QStringLiteral("BEFORE.ptc"), QStringLiteral("after.txt"),
                          QStringLiteral("before.txt"), QStringLiteral("large.txt")}));
    QVERIFY(window.delegate.batches()->lastSummary().cancelled);
    QCOMPARE(window.delegate.window()->statusBar()->currentMessage(),
             QStringLiteral("Cancelled: 1 files converted, 1 outputs written, 0 problems shown."));
    QVERIFY(window.alerts.alerts.isEmpty());
}

void TestWindow::filesGivenAtStart()
{
    // The real program, started as the desktop starts it for "Open With".
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("notes.txt")), "notes"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("-style=x.txt")), "named like an option"));
    QProcess window;
    window.setWorkingDirectory(dir.path());
    window.start(QStringLiteral(PTCDROP_APP),
                 {QStringLiteral("--gzip"), QStringLiteral("notes.txt"), QStringLiteral("--"),
                  QStringLiteral("-style=x.txt")});
    QVERIFY(window.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("-STYLE=X.ptc"))), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("NOTES.ptc"))), 15000);
    // Still open for more drops.
    QVERIFY(!window.waitForFinished(300));
    window.terminate();
    QVERIFY(window.waitForFinished(5000));
    QVERIFY(readFile(dir.filePath(QStringLiteral("NOTES.ptc"))).contains("\x1f\x8b\x08"));
}

void TestWindow::helpAndVersionOnStandardOutput_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("help") << QStringLiteral("--help") << QByteArray("Usage: ptcdrop [--gzip]");
    QTest::newRow("version") << QStringLiteral("--version") << QByteArray("ptcdrop 1.");
}

void TestWindow::helpAndVersionOnStandardOutput()
{
    QFETCH(QString, option);
    QFETCH(QByteArray, start);
    QProcess window;
    window.start(QStringLiteral(PTCDROP_APP), {option});
    QVERIFY(window.waitForFinished(10000));
    QCOMPARE(window.exitCode(), 0);
    QVERIFY(window.readAllStandardOutput().startsWith(start));
    QVERIFY(window.readAllStandardError().isEmpty());
}

void TestWindow::fileOpenEventConverts_data()
{
    QTest::addColumn<bool>("withFolder");
    QTest::newRow("a file") << false;
    QTest::newRow("a folder among the files") << true;
}

void TestWindow::fileOpenEventConverts()
{
    QFETCH(bool, withFolder);
    QTemporaryDir dir;
    const QString notes = dir.filePath(QStringLiteral("notes.txt"));
    QVERIFY(writeFile(notes, "notes"));
    QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("folder"))));
    const QStringList before = allEntries(dir.path());

    Window window;
    // Handed over one at a time, as the desktop does: together they make one batch.
    QFileOpenEvent first(notes);
    QCoreApplication::sendEvent(qApp, &first);
    if (withFolder) {
        QFileOpenEvent second(dir.filePath(QStringLiteral("folder")));
        QCoreApplication::sendEvent(qApp, &second);
    }
    QTRY_VERIFY(window.delegate.batches()->isRunning() || !window.alerts.alerts.isEmpty() ||
                QFile::exists(dir.filePath(QStringLiteral("NOTES.ptc"))));
    QVERIFY(window.waitForBatch());
    if (withFolder) {
        const QList<Alert> directory{Alert{QStringLiteral("Directory"), std::nullopt}};
        QCOMPARE(window.alerts.alerts, directory);
        QCOMPARE(allEntries(dir.path()), before);
    } else {
        QVERIFY(window.alerts.alerts.isEmpty());
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("NOTES.ptc"))));
    }
}

void TestWindow::joinPiecesFromMenu_data()
{
    QTest::addColumn<bool>("realDialog");
    QTest::addColumn<bool>("pieceMissing");

    // clang-format off
    QTest::newRow("dialog replaced")         << false << false;
    QTest::newRow("real dialog")             << true  << false;
    QTest::newRow("real dialog, gap")        << true  << true;
    // clang-format on
}

// File > Join Pieces… joins the chosen piece's series with the gzip switch as it stands; a
// gap is one alert naming the missing piece, and nothing is written.
void TestWindow::joinPiecesFromMenu()
{
    QFETCH(bool, realDialog);
    QFETCH(bool, pieceMissing);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray original(150000, Qt::Uninitialized); // does not compress: three pieces
    QRandomGenerator random(42);
    for (char& byte : original)
        byte = char(random.generate());
    QVERIFY(writeFile(dir.filePath(QStringLiteral("data.bin")), original));
    {
        RecordingAlerts packing;
        ptcdrop::Conversion conversion(packing, [] { return true; });
        conversion.writeToFiles({dir.filePath(QStringLiteral("data.bin"))});
        QVERIFY(packing.alerts.isEmpty());
    }
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("DATA_2.ptc"))));
    if (pieceMissing)
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("DATA_1.ptc"))));
    const QStringList before = allEntries(dir.path());
    const QString chosen = dir.filePath(QStringLiteral("DATA_2.ptc"));

    if (realDialog) {
        // An earlier test's window close called quit() outside any event loop; until exec()
        // has run again, every nested loop, the dialog's too, would return at once.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }
    Window window;
    window.delegate.gzipCheckBox()->setChecked(true);
    QString dialogTitle;
    QStringList dialogFilters;
    QString dialogAnswer;
    QTimer answer;
    if (realDialog) {
        // Answers the dialog as a user would, once it is up.
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            answer.stop();
            dialogTitle = dialog->windowTitle();
            dialogFilters = dialog->nameFilters();
            QObject::connect(dialog, &QFileDialog::fileSelected,
                             [&](const QString& file) { dialogAnswer = file; });
            // Types the whole path into the name box and presses Return. selectFile() would
            // leave the box alone once it has the keyboard focus, which a slow machine gives
            // it before this timer fires.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name != nullptr);
            name->setText(chosen);
            QTest::keyClick(name, Qt::Key_Return);
        });
        answer.start(10);
    } else {
        window.delegate.setPieceChooser([&](QWidget* parent) {
            if (parent == window.delegate.window())
                dialogTitle = QStringLiteral("on window");
            return chosen;
        });
    }
    auto* join = window.delegate.window()->findChild<QAction*>(QStringLiteral("joinAction"));
    QVERIFY(join != nullptr);
    join->trigger();
    QVERIFY(window.waitForBatch());

    if (realDialog) {
        QCOMPARE(dialogTitle, QStringLiteral("Join Pieces"));
        QCOMPARE(dialogFilters, QStringList{QStringLiteral("PTC pieces (*.ptc *.PTC)")});
        QCOMPARE(dialogAnswer, chosen);
    } else {
        QCOMPARE(dialogTitle, QStringLiteral("on window"));
    }
    if (pieceMissing) {
        QCOMPARE(window.alerts.alerts, (QList<Alert>{Alert{QStringLiteral("JoinMissing"),
                                                           QStringLiteral("DATA_1.ptc")}}));
        QCOMPARE(allEntries(dir.path()), before);
    } else {
        QCOMPARE(window.alerts.alerts, QList<Alert>());
        QVERIFY(readFile(dir.filePath(QStringLiteral("DATA.txt"))) == original);
        QCOMPARE(window.delegate.batches()->lastSummary().outputsWritten, 1);
    }
    QVERIFY(join->isEnabled());
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
