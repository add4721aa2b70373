// SPDX-License-Identifier: MIT
// The application delegate: builds the window from MainWindow.ui, runs its batches through
// the batch controller, and ends the application when the window closes.
#include "QvAppDelegate.h"

#include "BatchController.h"
#include "Messages.h"
#include "QvDropView.h"
#include "X11CloseRequests.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileOpenEvent>
#include <QLocale>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <utility>

QvAppDelegate::QvAppDelegate() = default;

QvAppDelegate::~QvAppDelegate()
{
    m_closeRequests.reset();
    if (m_batches != nullptr)
        m_batches->stop(-1);
    QCoreApplication::removeTranslator(&m_strings);
}

void QvAppDelegate::applicationDidFinishLaunching()
{
    // Before the window exists: its texts are looked up while it is built.
    ptcdrop::loadStringTable(m_strings, QLocale::system());
    QCoreApplication::installTranslator(&m_strings);

    m_window = std::make_unique<QMainWindow>();
    m_ui = std::make_unique<Ui::MainWindow>();
    m_ui->setupUi(m_window.get());
    m_ui->dropView->setGzipButton(m_ui->gzipCheckBox);

    m_batches = new ptcdrop::BatchController(m_window.get());
    // The worker reads the switch through this mirror, never the widget.
    m_batches->setGzip(m_ui->gzipCheckBox->isChecked());
    connect(m_ui->gzipCheckBox, &QAbstractButton::toggled, m_batches,
            &ptcdrop::BatchController::setGzip);
    connect(m_ui->dropView, &QvDropView::batchDropped, m_batches,
            [this](const QList<QByteArray>& names) { m_batches->startNames(names); });
    connect(m_batches, &ptcdrop::BatchController::runningChanged, m_ui->dropView,
            &QvDropView::setRefusingDrops);
    connect(m_batches, &ptcdrop::BatchController::finished, this, &QvAppDelegate::batchFinished);

    connect(m_ui->quitAction, &QAction::triggered, m_window.get(), &QWidget::close);
    m_batches->addWindowAction(m_ui->quitAction);
    connect(m_ui->aboutAction, &QAction::triggered, this, &QvAppDelegate::showAbout);
    connect(m_ui->joinAction, &QAction::triggered, this, &QvAppDelegate::joinPieces);
    // One batch at a time: the item waits, as drops do, while one runs.
    connect(m_batches, &ptcdrop::BatchController::runningChanged, m_ui->joinAction,
            [this](bool running) { m_ui->joinAction->setEnabled(!running); });
    m_window->installEventFilter(this);
    // Documents handed over by the desktop (QFileOpenEvent) reach the application object.
    QCoreApplication::instance()->installEventFilter(this);
    m_window->statusBar();
    m_window->show();
    m_closeRequests = std::make_unique<ptcdrop::X11CloseRequests>(m_window.get());
}

QvDropView* QvAppDelegate::dropView() const
{
    return m_ui ? m_ui->dropView : nullptr;
}

QCheckBox* QvAppDelegate::gzipCheckBox() const
{
    return m_ui ? m_ui->gzipCheckBox : nullptr;
}

void QvAppDelegate::openFiles(const QList<QByteArray>& files, bool gzip)
{
    if (gzip && m_ui)
        m_ui->gzipCheckBox->setChecked(true);
    for (const QByteArray& file : files)
        // Not cleaned: "link/.." must mean what the kernel makes of it.
        m_pending.append(
            file.startsWith('/') ? file : QFile::encodeName(QDir::currentPath()) + '/' + file);
    // Several files handed over one after another (one open event each) make one batch.
    QTimer::singleShot(0, this, &QvAppDelegate::startPending);
}

void QvAppDelegate::startPending()
{
    if (m_pending.isEmpty() || m_closing || m_batches == nullptr || m_batches->isRunning())
        return;
    const QList<QByteArray> files = std::exchange(m_pending, {});
    m_batches->startNames(files);
}

void QvAppDelegate::batchFinished(const ptcdrop::BatchSummary& summary)
{
    const char* key = summary.cancelled ? "window.status.cancelled" : "window.status.done";
    m_window->statusBar()->showMessage(qtTrId(key)
                                           .arg(summary.filesConverted)
                                           .arg(summary.outputsWritten)
                                           .arg(summary.alertsShown));
    startPending();
}

bool QvAppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FileOpen && watched == QCoreApplication::instance()) {
        const QString file = static_cast<QFileOpenEvent*>(event)->file();
        if (!file.isEmpty())
            openFiles({QFile::encodeName(file)});
        return true;
    }
    // The window's close ends the application, whatever other windows are still open and
    // whether or not anything was ever dropped. Nothing is saved. A running batch is
    // stopped first, as Cancel would stop it, so that it leaves nothing partial behind.
    if (watched == m_window.get() && event->type() == QEvent::Close) {
        m_closing = true;
        closeDuringBatch();
        QCoreApplication::quit();
    }
    return QObject::eventFilter(watched, event);
}

void QvAppDelegate::closeDuringBatch()
{
    if (m_batches == nullptr || m_batches->stop(kStopTimeout))
        return;
    // The worker is stuck in a call that does not return (a read from a hung device):
    // the window must still go away, and the file in hand has only temporaries to lose.
    std::fputs("ptcdrop: the running batch did not stop in time\n", stderr);
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

namespace {

QString choosePiece(QWidget* parent)
{
    QFileDialog dialog(parent, qtTrId("window.join.title"), QString(),
                       qtTrId("window.join.filter"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QvAppDelegate::joinPieces()
{
    if (m_batches == nullptr || m_batches->isRunning() || m_closing)
        return;
    const QString piece =
        m_pieceChooser ? m_pieceChooser(m_window.get()) : choosePiece(m_window.get());
    if (piece.isEmpty() || m_closing)
        return;
    m_batches->startJob(1, [piece](ptcdrop::Conversion& conversion, ptcdrop::AlertSink&) {
        return conversion.joinSeries({piece});
    });
}

void QvAppDelegate::showAbout()
{
    QMessageBox about(QMessageBox::Information, qtTrId("window.menu.about").remove(u'&'),
                      qtTrId("window.about.text").arg(QCoreApplication::applicationVersion()),
                      QMessageBox::Ok, m_window.get());
    about.setTextFormat(Qt::PlainText);
    about.setIconPixmap(m_window->windowIcon().pixmap(64, 64));
    about.exec();
}
