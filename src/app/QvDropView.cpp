// The drop area: drag answers, the drop batch, the busy feedback and the brown fill.
#include "QvDropView.h"

#include "Conversion.h"
#include "DropAction.h"
#include "MessageBoxAlert.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressDialog>
#include <QUrl>

namespace {

// The local paths of a drag, or nothing when it carries no file URL or anything else as
// well (a web link among files): such a drag is refused whole rather than half converted.
QStringList localPaths(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls())
        return {};
    QStringList paths;
    const QList<QUrl> urls = mime->urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            return {};
        paths.append(url.toLocalFile());
    }
    return paths;
}

// The action to answer for `event`, or Qt::IgnoreAction when the drag is refused.
Qt::DropAction answerFor(const QDropEvent* event)
{
    if (localPaths(event->mimeData()).isEmpty())
        return Qt::IgnoreAction;
    return ptcdrop::dropActionFor(event->possibleActions(), ptcdrop::platformOffersLink());
}

void answer(QDropEvent* event, Qt::DropAction action)
{
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

// The busy cursor for exactly the length of a batch.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

QvDropView::QvDropView(QWidget* parent) : QWidget(parent)
{
    setAcceptDrops(true);
    // paintEvent covers every pixel it is asked for; nothing behind needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QvDropView::~QvDropView() = default;

bool QvDropView::isDirectory() const
{
    return ptcdrop::Conversion::isDirectory(m_files);
}

void QvDropView::writeToFiles()
{
    const BusyCursor busy;
    QElapsedTimer clock;
    clock.start();
    // Made only once the batch has run for a while, never by a timer of its own: a dialog
    // that popped up while an alert waits would block that alert's OK button.
    std::unique_ptr<QProgressDialog> progress;

    ptcdrop::Conversion conversion(alerts(), [this] { return gzipOn(); });
    conversion.setProgress([&](const ptcdrop::BatchProgress& step) {
        if (step.step == ptcdrop::BatchProgress::Step::WithinFile)
            return;
        const qsizetype done = step.fileIndex;
        const qsizetype total = step.fileCount;
        if (done >= total) {
            progress.reset();
            return;
        }
        if (!progress && clock.elapsed() >= m_progressDelay) {
            progress = std::make_unique<QProgressDialog>(window());
            progress->setWindowModality(Qt::ApplicationModal);
            // No cancel button: the batch runs to its end inside the drop, and one stopped
            // half way would leave the user guessing which files were converted.
            progress->setCancelButton(nullptr);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            progress->setMinimumDuration(0);
            progress->setRange(0, int(total));
            progress->setWindowTitle(qtTrId("window.title"));
            progress->show();
        }
        if (progress) {
            progress->setLabelText(qtTrId("window.progress").arg(done + 1).arg(total));
            // Paints the dialog; input other than to modal windows stays blocked.
            progress->setValue(int(done));
        }
    });
    // A copy: the stored batch must not change under the conversion, whatever the nested
    // loops of the alerts deliver.
    const QStringList batch = m_files;
    m_converting = true;
    conversion.writeToFiles(batch);
    m_converting = false;
}

void QvDropView::dragEnterEvent(QDragEnterEvent* event)
{
    answer(event, m_converting ? Qt::IgnoreAction : answerFor(event));
}

void QvDropView::dragMoveEvent(QDragMoveEvent* event)
{
    // The same answer as on entry, given again so that the proposed action the toolkit
    // derives from modifier keys (Shift means move) never stands.
    answer(event, m_converting ? Qt::IgnoreAction : answerFor(event));
}

void QvDropView::dropEvent(QDropEvent* event)
{
    // One batch at a time: a drop that reached us from inside an alert of the running
    // batch is refused rather than started on top of it.
    const Qt::DropAction action = m_converting ? Qt::IgnoreAction : answerFor(event);
    if (action == Qt::IgnoreAction) {
        // Nothing was taken: the stored batch stays as it was.
        event->ignore();
        return;
    }

    m_files = localPaths(event->mimeData());
    if (isDirectory()) {
        alerts().alert(ptcdrop::Alert{QString::fromLatin1(ptcdrop::keys::kDirectory), {}});
        event->ignore();
        return;
    }
    writeToFiles();
    answer(event, action);
}

void QvDropView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), brown());
}

ptcdrop::AlertSink& QvDropView::alerts()
{
    if (m_alertSink != nullptr)
        return *m_alertSink;
    if (!m_messageBoxes)
        m_messageBoxes = std::make_unique<ptcdrop::MessageBoxAlert>();
    return *m_messageBoxes;
}

bool QvDropView::gzipOn() const
{
    return m_gzipButton != nullptr && m_gzipButton->isChecked();
}
