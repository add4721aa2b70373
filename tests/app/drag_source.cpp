// SPDX-License-Identifier: MIT
// A drag source for the window tests: a small window that starts a drag of file URLs when
// pressed, and a screenshot tool for the X server the tests run.
//   drag_source [--copy-only] FILE...   drag FILE... offering copy|link (or copy only);
//                                       prints "dropped <action>" when the drag ends
//   drag_source --screenshot OUT.png X Y W H   saves that part of the screen and exits
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

class DragSource : public QWidget
{
public:
    DragSource(QList<QUrl> urls, Qt::DropActions actions)
        : m_urls(std::move(urls)), m_actions(actions)
    {
        setWindowTitle(QStringLiteral("drag source"));
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls(m_urls);
        drag->setMimeData(mime);
        const Qt::DropAction result = drag->exec(m_actions, Qt::CopyAction);
        const char* name = result == Qt::LinkAction   ? "link"
                           : result == Qt::CopyAction ? "copy"
                           : result == Qt::MoveAction ? "move"
                                                      : "ignore";
        std::printf("dropped %s\n", name);
        std::fflush(stdout);
    }

    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::darkCyan); }

private:
    QList<QUrl> m_urls;
    Qt::DropActions m_actions;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QStringList arguments = QApplication::arguments().mid(1);

    if (arguments.value(0) == QLatin1StringView("--screenshot") && arguments.size() == 6) {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
            0, arguments[2].toInt(), arguments[3].toInt(), arguments[4].toInt(),
            arguments[5].toInt());
        return shot.save(arguments[1]) ? 0 : 1;
    }

    Qt::DropActions actions = Qt::CopyAction | Qt::LinkAction;
    if (arguments.value(0) == QLatin1StringView("--copy-only")) {
        actions = Qt::CopyAction;
        arguments.removeFirst();
    }
    QList<QUrl> urls;
    for (const QString& path : std::as_const(arguments))
        urls.append(QUrl::fromLocalFile(path));

    DragSource source(urls, actions);
    source.show();
    return QApplication::exec();
}
