// Starts the window: string table, main window from its .ui, the links between them.
#pragma once

#include <QObject>
#include <QTranslator>

#include <memory>

class QMainWindow;
class QvDropView;
class QCheckBox;

namespace Ui {
class MainWindow;
}

class QvAppDelegate : public QObject
{
    Q_OBJECT

public:
    QvAppDelegate();
    ~QvAppDelegate() override;

    // Loads the string table, builds the window and shows it.
    void applicationDidFinishLaunching();

    QMainWindow* window() const { return m_window.get(); }
    QvDropView* dropView() const;
    QCheckBox* gzipCheckBox() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showAbout();

    QTranslator m_strings;
    std::unique_ptr<Ui::MainWindow> m_ui;
    std::unique_ptr<QMainWindow> m_window;
};
