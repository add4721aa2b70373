// SPDX-License-Identifier: MIT
// The window started under a German locale: its texts and its message boxes are German.
#include "Alert.h"
#include "MessageBoxAlert.h"
#include "QvAppDelegate.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace ptcdrop;

class TestStringsWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowTexts_data();
    void windowTexts();
    void messageBox_data();
    void messageBox();

private:
    QvAppDelegate m_delegate;
};

void TestStringsWindow::initTestCase()
{
    m_delegate.applicationDidFinishLaunching();
    QVERIFY(m_delegate.window());
}

void TestStringsWindow::windowTexts_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("expected");

    // clang-format off
    QTest::newRow("hint")  << "hintLabel"    << QByteArray("text")  << "Legen Sie Dateien auf der braunen Fläche ab: Einfache Dateien werden in .ptc-Container gepackt, Container werden entpackt.";
    QTest::newRow("gzip")  << "gzipCheckBox" << QByteArray("text")  << "Beim Packen mit gzip komprimieren, beim Entpacken mit gunzip dekomprimieren";
    QTest::newRow("file")  << "fileMenu"     << QByteArray("title") << "&Datei";
    QTest::newRow("quit")  << "quitAction"   << QByteArray("text")  << "&Beenden";
    QTest::newRow("help")  << "helpMenu"     << QByteArray("title") << "&Hilfe";
    QTest::newRow("about") << "aboutAction"  << QByteArray("text")  << "Ü&ber ptcdrop";
    // clang-format on
}

void TestStringsWindow::windowTexts()
{
    QFETCH(QString, object);
    QFETCH(QByteArray, property);
    QFETCH(QString, expected);

    const QObject* found = m_delegate.window()->findChild<QObject*>(object);
    QVERIFY2(found, qPrintable(object));
    QCOMPARE(found->property(property.constData()).toString(), expected);
}

void TestStringsWindow::messageBox_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("argument"); // none when empty
    QTest::addColumn<QString>("expected");

    // clang-format off
    QTest::newRow("Read")          << "Read"          << "x.txt" << "Die Datei „x.txt“ konnte nicht gelesen werden; sie wurde nicht umgewandelt.";
    QTest::newRow("Directory")     << "Directory"     << ""      << "Ordner können nicht umgewandelt werden. Legen Sie nur Dateien ab; es wurde nichts umgewandelt.";
    QTest::newRow("not in tables") << "NotInAnyTable" << "x.txt" << "NotInAnyTable";
    // clang-format on
}

void TestStringsWindow::messageBox()
{
    QFETCH(QString, key);
    QFETCH(QString, argument);
    QFETCH(QString, expected);

    QString shown;
    // The box is modal: read and close it from the event loop it runs.
    QTimer closer;
    closer.setInterval(20);
    connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    closer.start();
    MessageBoxAlert().alert(
        {key, argument.isEmpty() ? std::nullopt : std::optional<QString>(argument)});
    closer.stop();
    QCOMPARE(shown, expected);
}

// The locale comes from the environment the program starts with, as for the real window.
int main(int argc, char* argv[])
{
    qputenv("LANG", "de_DE.UTF-8");
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        qunsetenv(name);
    QApplication app(argc, argv);
    TestStringsWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_strings_window.moc"
