// SPDX-License-Identifier: MIT
// The window that shows how far a batch has come and offers to cancel it.
#pragma once

#include "Conversion.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ptcdrop {

// Not modal: alerts of the batch come on top of it and stay answerable, and the main
// window stays painted. Cancel, Escape and its close button all ask to stop the batch.
class ProgressWindow : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressWindow(QWidget* parent);

    void show(const BatchProgress& progress);
    // After a cancel request, until the batch has stopped.
    void showStopping();

signals:
    void cancelRequested();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_fileLabel;
    QLabel* m_detailLabel;
    QProgressBar* m_bar;
    QPushButton* m_cancelButton;
};

} // namespace ptcdrop
