// SPDX-License-Identifier: MIT
// The progress window: which file of the batch, how far into it, and Cancel.
#include "ProgressWindow.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace ptcdrop {

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent), m_fileLabel(new QLabel(this)), m_detailLabel(new QLabel(this)),
      m_bar(new QProgressBar(this)), m_cancelButton(new QPushButton(qtTrId("window.cancel"), this))
{
    setWindowTitle(qtTrId("window.progress.title"));
    setModal(false);
    // A file name may contain markup; it is shown as the characters it is.
    m_fileLabel->setTextFormat(Qt::PlainText);
    m_detailLabel->setTextFormat(Qt::PlainText);
    m_fileLabel->setMinimumWidth(360);
    m_bar->setRange(0, 1000);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancelButton, QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &ProgressWindow::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fileLabel);
    layout->addWidget(m_bar);
    layout->addWidget(m_detailLabel);
    layout->addWidget(buttons);
}

void ProgressWindow::show(const BatchProgress& progress)
{
    m_fileLabel->setText(qtTrId("window.progress.file")
                             .arg(progress.fileIndex + 1)
                             .arg(progress.fileCount)
                             .arg(progress.fileName));
    const QLocale locale;
    m_detailLabel->setText(qtTrId("window.progress.detail")
                               .arg(locale.formattedDataSize(progress.bytesDone),
                                    locale.formattedDataSize(progress.bytesTotal))
                               .arg(progress.piecesWritten));
    const int permille =
        progress.bytesTotal > 0
            ? int(std::min<qint64>(1000, progress.bytesDone * 1000 / progress.bytesTotal))
            : 0;
    m_bar->setValue(permille);
    if (!isVisible())
        QDialog::show();
}

void ProgressWindow::showStopping()
{
    m_detailLabel->setText(qtTrId("window.progress.stopping"));
    m_cancelButton->setEnabled(false);
}

void ProgressWindow::reject()
{
    // Escape and Cancel: the window stays until the batch has really stopped.
    emit cancelRequested();
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    emit cancelRequested();
}

} // namespace ptcdrop
