// SPDX-License-Identifier: MIT
// The brown drop area: takes a drag of file paths and hands the dropped files on.
#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QStringList>
#include <QWidget>

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

    // The drop batch: the absolute paths of the most recent drop, in drop order (a name that
    // is not text as it reads, with its odd bytes escaped).
    const QStringList& files() const { return m_files; }
    void setFiles(const QStringList& files);

    // The gzip switch; it is on only while the button is checked. Not owned.
    QAbstractButton* gzipButton() const { return m_gzipButton; }
    void setGzipButton(QAbstractButton* button) { m_gzipButton = button; }

    // While true (a batch is running), every drag is refused.
    void setRefusingDrops(bool refusing) { m_refusing = refusing; }
    bool isRefusingDrops() const { return m_refusing; }

    // True when some path of the stored batch names a folder.
    bool isDirectory() const;
    // Hands the stored batch on to whoever converts it (batchDropped), and returns at once.
    void writeToFiles();

    // The drop area's one colour.
    static QColor brown() { return QColor::fromRgbF(0.6, 0.4, 0.2); }

signals:
    // A drop of the files `names` names, as native bytes, to be converted as one batch (a
    // folder among them, or a name that is not text, included: the conversion refuses
    // such a batch with its own alert).
    void batchDropped(const QList<QByteArray>& names);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList m_files;
    QList<QByteArray> m_names; // the same as the system names them
    QPointer<QAbstractButton> m_gzipButton;
    bool m_refusing = false;
};
