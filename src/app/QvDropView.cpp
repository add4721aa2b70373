// SPDX-License-Identifier: MIT
// The drop area: drag answers, the stored drop batch and the brown fill.
#include "QvDropView.h"

#include "Conversion.h"
#include "DropAction.h"
#include "PathBytes.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QUrl>

namespace {

// The local file names of a drag as the system spells them, or nothing when it carries no
// file URL or anything else as well (a web link among files): such a drag is refused whole
// rather than half converted.
QList<QByteArray> localNames(const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasUrls())
        return {};
    QList<QByteArray> names;
    const QList<QUrl> urls = mime->urls();
    for (const QUrl& url : urls) {
        const std::optional<QByteArray> name = ptcdrop::localFileBytes(url);
        if (!name || name->isEmpty())
            return {};
        names.append(*name);
    }
    return names;
}

// The action to answer for `event`, or Qt::IgnoreAction when the drag is refused.
Qt::DropAction answerFor(const QDropEvent* event)
{
    if (localNames(event->mimeData()).isEmpty())
        return Qt::IgnoreAction;
    return ptcdrop::dropActionFor(event->possibleActions(), ptcdrop::currentDropSetting());
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
    emit batchDropped(m_names);
}

void QvDropView::setFiles(const QStringList& files)
{
    m_files = files;
    m_names.clear();
    for (const QString& file : files)
        m_names.append(QFile::encodeName(file));
}

void QvDropView::dragEnterEvent(QDragEnterEvent* event)
{
    answer(event, m_refusing ? Qt::IgnoreAction : answerFor(event));
}

void QvDropView::dragMoveEvent(QDragMoveEvent* event)
{
    // The same answer as on entry, given again so that the proposed action the toolkit
    // derives from modifier keys (Shift means move) never stands.
    answer(event, m_refusing ? Qt::IgnoreAction : answerFor(event));
}

void QvDropView::dropEvent(QDropEvent* event)
{
    // One batch at a time: a drop while one runs is refused rather than started on top.
    const Qt::DropAction action = m_refusing ? Qt::IgnoreAction : answerFor(event);
    if (action == Qt::IgnoreAction) {
        // Nothing was taken: the stored batch stays as it was.
        event->ignore();
        return;
    }

    m_names = localNames(event->mimeData());
    m_files.clear();
    for (const QByteArray& name : std::as_const(m_names))
        m_files.append(ptcdrop::pathFromBytes(name).value_or(ptcdrop::readableBytes(name)));
    // The drop is answered before anything is converted, so that the drag source is free
    // at once; a batch with a folder is reported as not performed, and its alert comes from
    // the conversion once this has returned.
    if (isDirectory())
        event->ignore();
    else
        answer(event, action);
    writeToFiles();
}

void QvDropView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), brown());
}
