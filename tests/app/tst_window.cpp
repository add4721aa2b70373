// The desktop window on the offscreen platform: drag answers, drops, alerts, painting, start.
#include "DropAction.h"
#include "MessageBoxAlert.h"
#include "Messages.h"
#include "PtcFormat.h"
#include "QvAppDelegate.h"
#include "QvDropView.h"
#include "TestFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include <functional>
#include <memory>

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

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void dropActionRule_data();
    void dropActionRule();
    void dragAnswer_data();
    void dragAnswer();
    void refusedDropChangesNothing_data();
    void refusedDropChangesNothing();
    void folderRefusesWholeBatch();
    void filesConvertedInDropOrder_data();
    void filesConvertedInDropOrder();
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
    QTest::addColumn<Qt::DropActions>("offered");
    QTest::addColumn<bool>("platformOffersLink");
    QTest::addColumn<Qt::DropAction>("expected");

    using A = Qt::DropActions;
    // clang-format off
    QTest::newRow("x11 link")           << A(Qt::LinkAction)                  << true  << Qt::LinkAction;
    QTest::newRow("x11 copy|link")      << (Qt::CopyAction | Qt::LinkAction)  << true  << Qt::LinkAction;
    QTest::newRow("x11 all")            << (Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) << true << Qt::LinkAction;
    QTest::newRow("x11 copy")           << A(Qt::CopyAction)                  << true  << Qt::IgnoreAction;
    QTest::newRow("x11 copy|move")      << (Qt::CopyAction | Qt::MoveAction)  << true  << Qt::IgnoreAction;
    QTest::newRow("x11 move")           << A(Qt::MoveAction)                  << true  << Qt::IgnoreAction;
    QTest::newRow("x11 nothing")        << A()                                << true  << Qt::IgnoreAction;
    QTest::newRow("wayland copy")       << A(Qt::CopyAction)                  << false << Qt::CopyAction;
    QTest::newRow("wayland copy|move")  << (Qt::CopyAction | Qt::MoveAction)  << false << Qt::CopyAction;
    QTest::newRow("wayland move")       << A(Qt::MoveAction)                  << false << Qt::IgnoreAction;
    QTest::newRow("wayland nothing")    << A()                                << false << Qt::IgnoreAction;
    // clang-format on
}

void TestWindow::dropActionRule()
{
    QFETCH(Qt::DropActions, offered);
    QFETCH(bool, platformOffersLink);
    QFETCH(Qt::DropAction, expected);
    QCOMPARE(ptcdrop::dropActionFor(offered, platformOffersLink), expected);
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
    RecordingAlerts alerts;
    view.setAlertSink(&alerts);
    view.setFiles(before);

    const auto mime = filesInDrag ? mimeForFiles({source}) : mimeFor({}, source);
    QVERIFY(!drop(view, mime.get(), offered).accepted);
    QVERIFY(!dropWithoutEntry(view, mime.get(), offered).accepted);
    QCOMPARE(view.files(), before);
    QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("notes.txt")});
    QVERIFY(alerts.alerts.isEmpty());
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

    QvDropView view;
    RecordingAlerts alerts;
    view.setAlertSink(&alerts);
    const auto mime = mimeForFiles(batch);
    const Answer answer = drop(view, mime.get(), Qt::CopyAction | Qt::LinkAction);

    QVERIFY(!answer.accepted);
    const QList<Alert> expected{Alert{QStringLiteral("Directory"), std::nullopt}};
    QCOMPARE(alerts.alerts, expected);
    QCOMPARE(view.files(), batch);
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
    // Both pack to NOTES.ptc, so the container left once the drop returns holds the file
    // that was dropped last.
    QFETCH(bool, markdownFirst);
    QTemporaryDir dir;
    const QString markdown = dir.filePath(QStringLiteral("notes.md"));
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QVERIFY(writeFile(markdown, "# the markdown notes"));
    QVERIFY(writeFile(text, "the plain text notes"));
    const QStringList batch =
        markdownFirst ? QStringList{markdown, text} : QStringList{text, markdown};

    QvDropView view;
    RecordingAlerts alerts;
    view.setAlertSink(&alerts);
    const auto mime = mimeForFiles(batch);
    const Answer answer = drop(view, mime.get(), Qt::CopyAction | Qt::LinkAction);

    QVERIFY(answer.accepted);
    QCOMPARE(answer.action, Qt::LinkAction);
    QVERIFY(alerts.alerts.isEmpty());
    QCOMPARE(view.files(), batch);
    const QByteArray container = readFile(dir.filePath(QStringLiteral("NOTES.ptc")));
    QCOMPARE(container.size(), ptcdrop::ptc::kContainerSize);
    const QByteArray last = markdownFirst ? "the plain text notes" : "# the markdown notes";
    const QByteArray earlier = markdownFirst ? "# the markdown notes" : "the plain text notes";
    QVERIFY(container.contains(last));
    QVERIFY(!container.contains(earlier));
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

    QCheckBox gzip;
    QvDropView view;
    view.setGzipButton(&gzip);
    RecordingAlerts alerts;
    alerts.onAlert = [&](const Alert&) { gzip.setChecked(true); };
    view.setAlertSink(&alerts);
    const auto mime = mimeForFiles({before, foreign, after});
    QVERIFY(drop(view, mime.get(), Qt::LinkAction).accepted);

    const QList<Alert> expected{resourceAlert(QStringLiteral("ZZZ"))};
    QCOMPARE(alerts.alerts, expected);
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

    QvDropView view;
    view.setProgressDelay(progressDelay);
    RecordingAlerts alerts;
    QStringList progressLabels;
    QList<bool> busy;
    alerts.onAlert = [&](const Alert&) {
        const QCursor* cursor = QApplication::overrideCursor();
        busy.append(cursor != nullptr && cursor->shape() == Qt::BusyCursor);
        auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        progressLabels.append(progress ? progress->labelText() : QString());
    };
    view.setAlertSink(&alerts);
    const auto mime = mimeForFiles({first, middle, last});
    QVERIFY(drop(view, mime.get(), Qt::LinkAction).accepted);

    QCOMPARE(alerts.alerts.size(), 2);
    QCOMPARE(busy, QList<bool>({true, true}));
    const QStringList expectedLabels = progressShown
                                           ? QStringList{QStringLiteral("Converting 1 of 3 files…"),
                                                         QStringLiteral("Converting 3 of 3 files…")}
                                           : QStringList{QString(), QString()};
    QCOMPARE(progressLabels, expectedLabels);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("MIDDLE.ptc"))));

    // All gone once the drop has returned.
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
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
    QvDropView view;
    // With the progress dialog up from the start: each box must still come on top of it,
    // where the user can reach its button.
    view.setProgressDelay(0);
    BoxCloser closer;
    const auto mime = mimeForFiles(batch);
    QVERIFY(drop(view, mime.get(), Qt::LinkAction).accepted);

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
    QCOMPARE(menus,
             QStringList({QStringLiteral("&File>&Quit"), QStringLiteral("&Help>&About ptcdrop")}));
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
    QTimer::singleShot(10000, qApp, [&quitInTime] {
        quitInTime = false;
        QCoreApplication::exit(1);
    });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(quitInTime);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
