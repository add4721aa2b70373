// The brown drop area: takes a drag of file paths and converts the dropped files.
#pragma once

#include "Alert.h"

#include <QAbstractButton>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QPaintEvent;

class QvDropView : public QWidget
{
    Q_OBJECT

public:
    explicit QvDropView(QWidget* parent = nullptr);
    ~QvDropView() override;

    // The drop batch: the absolute paths of the most recent drop, in drop order.
    const QStringList& files() const { return m_files; }
    void setFiles(const QStringList& files) { m_files = files; }

    // The gzip switch; it is on only while the button is checked. Not owned.
    QAbstractButton* gzipButton() const { return m_gzipButton; }
    void setGzipButton(QAbstractButton* button) { m_gzipButton = button; }

    // Where alerts go; nullptr restores the default, a message box per alert. Not owned.
    void setAlertSink(ptcdrop::AlertSink* sink) { m_alertSink = sink; }

    // How long a batch runs before the progress dialog appears.
    void setProgressDelay(int milliseconds) { m_progressDelay = milliseconds; }

    // True when some path of the stored batch names a folder.
    bool isDirectory() const;
    // Converts the whole stored batch; returns when the last file is done.
    void writeToFiles();

    // The drop area's one colour.
    static QColor brown() { return QColor::fromRgbF(0.6, 0.4, 0.2); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    ptcdrop::AlertSink& alerts();
    bool gzipOn() const;

    QStringList m_files;
    QPointer<QAbstractButton> m_gzipButton;
    ptcdrop::AlertSink* m_alertSink = nullptr;
    std::unique_ptr<ptcdrop::AlertSink> m_messageBoxes;
    int m_progressDelay = 500;
    bool m_converting = false;
};
