// SPDX-License-Identifier: MIT
// Starts the window: string table, main window from its .ui, the links between them.
#pragma once

#include "Conversion.h"

#include <QObject>
#include <QStringList>
#include <QTranslator>

#include <functional>

#include <memory>

class QMainWindow;
class QvDropView;
class QCheckBox;

namespace Ui {
class MainWindow;
}

namespace ptcdrop {
class BatchController;
class X11CloseRequests;
} // namespace ptcdrop

class QvAppDelegate : public QObject
{
    Q_OBJECT

public:
    QvAppDelegate();
    ~QvAppDelegate() override;

    // Loads the string table, builds the window and shows it.
    void applicationDidFinishLaunching();

    // Converts `files` as one drop of them, with the gzip switch turned on first when
    // `gzip`; files handed over while a batch runs wait for it to end, then go as one batch.
    // The files are named by the system's bytes (a command line's, a file-open event's).
    void openFiles(const QList<QByteArray>& files, bool gzip = false);

    QMainWindow* window() const { return m_window.get(); }
    QvDropView* dropView() const;
    QCheckBox* gzipCheckBox() const;
    ptcdrop::BatchController* batches() const { return m_batches; }

    // Asks for one piece of a series and gives its path, or an empty text when the user
    // chose none. The default shows a file dialog for .ptc files on `parent`; tests put
    // their own in its place.
    using PieceChooser = std::function<QString(QWidget* parent)>;
    void setPieceChooser(PieceChooser chooser) { m_pieceChooser = std::move(chooser); }
    // File > Join Pieces…: joins the chosen piece's series on the worker, with the gzip
    // switch as it stands, the alerts and the progress of a batch.
    void joinPieces();

    // How long closing the window waits for a running batch to stop.
    static constexpr int kStopTimeout = 2500;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showAbout();
    void batchFinished(const ptcdrop::BatchSummary& summary);
    void startPending();
    void closeDuringBatch();

    QTranslator m_strings;
    std::unique_ptr<Ui::MainWindow> m_ui;
    std::unique_ptr<QMainWindow> m_window;
    ptcdrop::BatchController* m_batches = nullptr; // a child of the window
    std::unique_ptr<ptcdrop::X11CloseRequests> m_closeRequests;
    QList<QByteArray> m_pending;
    PieceChooser m_pieceChooser;
    bool m_closing = false;
};
