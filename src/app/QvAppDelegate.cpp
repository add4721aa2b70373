// The application delegate: builds the window from MainWindow.ui and ends the application
// when it closes.
#include "QvAppDelegate.h"

#include "Messages.h"
#include "QvDropView.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLocale>
#include <QMainWindow>
#include <QMessageBox>

QvAppDelegate::QvAppDelegate() = default;

QvAppDelegate::~QvAppDelegate()
{
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

    connect(m_ui->quitAction, &QAction::triggered, m_window.get(), &QWidget::close);
    connect(m_ui->aboutAction, &QAction::triggered, this, &QvAppDelegate::showAbout);
    m_window->installEventFilter(this);
    m_window->show();
}

QvDropView* QvAppDelegate::dropView() const
{
    return m_ui ? m_ui->dropView : nullptr;
}

QCheckBox* QvAppDelegate::gzipCheckBox() const
{
    return m_ui ? m_ui->gzipCheckBox : nullptr;
}

bool QvAppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    // The window's close ends the application, whatever other windows are still open and
    // whether or not anything was ever dropped. Nothing is saved.
    if (watched == m_window.get() && event->type() == QEvent::Close)
        QCoreApplication::quit();
    return QObject::eventFilter(watched, event);
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
