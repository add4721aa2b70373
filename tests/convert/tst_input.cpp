// SPDX-License-Identifier: MIT
// What the front ends are given: file names as bytes, and the argument list.
#include "CommandLine.h"
#include "PathBytes.h"

#include <QTest>

#include <optional>

using namespace ptcdrop;

class TestInput : public QObject
{
    Q_OBJECT

private slots:
    void nameBytes_data();
    void nameBytes();
    void droppedUrls_data();
    void droppedUrls();
    void commandLine_data();
    void commandLine();
    void commandLineValues_data();
    void commandLineValues();
};

// A name is taken only when its text leads back to exactly its bytes.
void TestInput::nameBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<std::optional<QString>>("path");
    QTest::addColumn<QString>("readable");

    const std::optional<QString> refused;
    // clang-format off
    QTest::newRow("ASCII")                << QByteArray("/d/notes.txt")          << std::optional<QString>("/d/notes.txt") << "/d/notes.txt";
    QTest::newRow("UTF-8")                << QByteArray("stra\xc3\x9f" "e.txt")  << std::optional<QString>(u"straße.txt"_qs) << u"straße.txt"_qs;
    QTest::newRow("four-byte form")       << QByteArray("\xf0\x9d\x84\x9e")      << std::optional<QString>(u"𝄞"_qs)        << u"𝄞"_qs;
    QTest::newRow("replacement character")<< QByteArray("\xef\xbf\xbd/a.txt")    << std::optional<QString>(u"\uFFFD/a.txt"_qs) << u"\uFFFD/a.txt"_qs;
    // Qt's default reading drops a leading byte order mark, which would open "a.txt".
    QTest::newRow("byte order mark")      << QByteArray("\xef\xbb\xbf" "a.txt")  << std::optional<QString>(u"\uFEFFa.txt"_qs) << u"\uFEFFa.txt"_qs;
    QTest::newRow("empty")                << QByteArray()                        << std::optional<QString>(QString()) << QString();
    QTest::newRow("byte FF")              << QByteArray("\xff/a.txt")            << refused << "\\xff/a.txt";
    QTest::newRow("Latin-1 name")         << QByteArray("caf\xe9.txt")           << refused << "caf\\xe9.txt";
    QTest::newRow("cut sequence")         << QByteArray("ab\xe2\x82")            << refused << "ab\\xe2\\x82";
    QTest::newRow("overlong slash")       << QByteArray("a\xc0\xaf" "b")         << refused << "a\\xc0\\xafb";
    QTest::newRow("surrogate")            << QByteArray("\xed\xa0\x80")          << refused << "\\xed\\xa0\\x80";
    QTest::newRow("above U+10FFFF")       << QByteArray("\xf4\x90\x80\x80")      << refused << "\\xf4\\x90\\x80\\x80";
    QTest::newRow("zero byte")            << QByteArray("a\0b", 3)               << refused << "a\\x00b";
    QTest::newRow("backslash, invalid")   << QByteArray("\\x\xff")               << refused << "\\\\x\\xff";
    // clang-format on
}

void TestInput::nameBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(std::optional<QString>, path);
    QFETCH(QString, readable);

    QCOMPARE(pathFromBytes(bytes), path);
    if (!path)
        QCOMPARE(readableBytes(bytes), readable);
}

// A drop names files by URL; the bytes of the name come back whole, escapes decoded.
void TestInput::droppedUrls_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<std::optional<QByteArray>>("bytes");
    QTest::addColumn<std::optional<QString>>("path");

    const std::optional<QString> refused;
    // clang-format off
    QTest::newRow("plain path")         << QByteArray("file:///home/u/a.txt")          << std::optional<QByteArray>("/home/u/a.txt")        << std::optional<QString>("/home/u/a.txt");
    QTest::newRow("escaped space")      << QByteArray("file:///home/u/my%20notes.txt") << std::optional<QByteArray>("/home/u/my notes.txt") << std::optional<QString>("/home/u/my notes.txt");
    QTest::newRow("escaped UTF-8")      << QByteArray("file:///d/stra%C3%9Fe.txt")     << std::optional<QByteArray>("/d/stra\xc3\x9f" "e.txt") << std::optional<QString>(u"/d/straße.txt"_qs);
    QTest::newRow("escaped percent")    << QByteArray("file:///d/100%25.txt")          << std::optional<QByteArray>("/d/100%.txt")          << std::optional<QString>("/d/100%.txt");
    QTest::newRow("byte FF")            << QByteArray("file:///d/%FF/a.txt")           << std::optional<QByteArray>("/d/\xff/a.txt")        << refused;
    QTest::newRow("twin of byte FF")    << QByteArray("file:///d/%EF%BF%BD/a.txt")     << std::optional<QByteArray>("/d/\xef\xbf\xbd/a.txt") << std::optional<QString>(u"/d/\uFFFD/a.txt"_qs);
    QTest::newRow("escaped zero byte")  << QByteArray("file:///d/a%00b")               << std::optional<QByteArray>(QByteArray("/d/a\0b", 6)) << refused;
    QTest::newRow("localhost")          << QByteArray("file://localhost/d/a.txt")      << std::optional<QByteArray>("/d/a.txt")             << std::optional<QString>("/d/a.txt");
    QTest::newRow("not a file")         << QByteArray("https://example.org/a.txt")     << std::optional<QByteArray>()                        << refused;
    // clang-format on
}

void TestInput::droppedUrls()
{
    QFETCH(QByteArray, url);
    QFETCH(std::optional<QByteArray>, bytes);
    QFETCH(std::optional<QString>, path);

    const std::optional<QByteArray> local = localFileBytes(QUrl::fromEncoded(url));
    QCOMPARE(local, bytes);
    QCOMPARE(local ? pathFromBytes(*local) : std::nullopt, path);
}

void TestInput::commandLine_data()
{
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<QByteArray>>("operands");
    QTest::addColumn<QString>("error");

    using Bytes = QList<QByteArray>;
    // clang-format off
    QTest::newRow("files only")            << Bytes{"a.txt", "b.txt"}             << QStringList()               << Bytes{"a.txt", "b.txt"} << "";
    QTest::newRow("options anywhere")      << Bytes{"a", "--gzip", "b"}            << QStringList{"gzip"}        << Bytes{"a", "b"}        << "";
    QTest::newRow("repeated option")       << Bytes{"--gzip", "--gzip", "a"}       << QStringList{"gzip"}        << Bytes{"a"}             << "";
    QTest::newRow("short names")           << Bytes{"-h", "--version"}             << QStringList{"h", "v"}      << Bytes()                << "";
    QTest::newRow("short names together")  << Bytes{"-vh"}                         << QStringList{"v", "h"}      << Bytes()                << "";
    QTest::newRow("question mark")         << Bytes{"-?"}                          << QStringList{"h"}           << Bytes()                << "";
    // Qt's own options are files after "--", and unknown options before it.
    QTest::newRow("Qt option after --")    << Bytes{"--", "-qmljsdebugger=x", "b.txt"} << QStringList()          << Bytes{"-qmljsdebugger=x", "b.txt"} << "";
    QTest::newRow("option name after --")  << Bytes{"--", "--gzip", "--"}          << QStringList()              << Bytes{"--gzip", "--"}  << "";
    QTest::newRow("Qt option before --")   << Bytes{"-qmljsdebugger=x", "b.txt"}   << QStringList()              << Bytes{"b.txt"}         << "Unknown option 'qmljsdebugger=x'.";
    QTest::newRow("Qt-style -platform")    << Bytes{"-platform", "xcb"}            << QStringList()              << Bytes{"xcb"}           << "Unknown option 'platform'.";
    QTest::newRow("unknown long option")   << Bytes{"--frobnicate", "a"}           << QStringList()              << Bytes{"a"}             << "Unknown option 'frobnicate'.";
    QTest::newRow("unknown short option")  << Bytes{"-x"}                          << QStringList()              << Bytes()                << "Unknown option 'x'.";
    QTest::newRow("--help-all")            << Bytes{"--help-all"}                  << QStringList()              << Bytes()                << "Unknown option 'help-all'.";
    QTest::newRow("value for an option")   << Bytes{"--gzip=yes"}                  << QStringList()              << Bytes()                << "Unexpected value after '--gzip'.";
    QTest::newRow("first error is told")   << Bytes{"-x", "--y"}                   << QStringList()              << Bytes()                << "Unknown option 'x'.";
    QTest::newRow("unknown, not text")     << Bytes{"--\xff"}                      << QStringList()              << Bytes()                << "Unknown option '\\xff'.";
    QTest::newRow("dash and empty")        << Bytes{"-", ""}                       << QStringList()              << Bytes{"-", ""}         << "";
    QTest::newRow("bytes kept")            << Bytes{"\xff/a.txt"}                  << QStringList()              << Bytes{"\xff/a.txt"}    << "";
    // clang-format on
}

void TestInput::commandLine()
{
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(QStringList, options);
    QFETCH(QList<QByteArray>, operands);
    QFETCH(QString, error);

    const QList<QStringList> known{{"gzip"}, {"inspect"}, {"h", "help", "?"}, {"v", "version"}};
    const CommandLine command = readCommandLine(arguments, known);
    QCOMPARE(command.error, error);
    if (error.isEmpty()) {
        QCOMPARE(command.options, options);
        QCOMPARE(command.operands, operands);
    }

    // The program name is not an argument, and every byte of the others arrives.
    QList<QByteArray> storage{"ptcdrop-cli"};
    storage.append(arguments);
    QList<const char*> argv;
    for (const QByteArray& argument : storage)
        argv.append(argument.constData());
    QCOMPARE(argumentsOf(int(argv.size()), argv.constData()), arguments);
}

// An option that takes a value has it after "=" or as the next argument, which is then no
// file; one given last without its value is a usage error.
void TestInput::commandLineValues_data()
{
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QList<QByteArray>>("operands");
    QTest::addColumn<QString>("error");

    using Bytes = QList<QByteArray>;
    // clang-format off
    QTest::newRow("after =")          << Bytes{"--jobs=3", "a"}         << QByteArray("3") << Bytes{"a"}        << "";
    QTest::newRow("next argument")    << Bytes{"a", "--jobs", "3", "b"} << QByteArray("3") << Bytes{"a", "b"}   << "";
    QTest::newRow("the last counts")  << Bytes{"--jobs=1", "--jobs=4"}  << QByteArray("4") << Bytes()           << "";
    QTest::newRow("after --, a file") << Bytes{"--", "--jobs", "3"}     << QByteArray()    << Bytes{"--jobs", "3"} << "";
    QTest::newRow("missing")          << Bytes{"a", "--jobs"}           << QByteArray()    << Bytes{"a"}        << "Missing value after '--jobs'.";
    // clang-format on
}

void TestInput::commandLineValues()
{
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(QByteArray, value);
    QFETCH(QList<QByteArray>, operands);
    QFETCH(QString, error);

    const QList<QStringList> known{{"gzip"}, {"jobs"}};
    const CommandLine command = readCommandLine(arguments, known, {"jobs"});
    QCOMPARE(command.error, error);
    QCOMPARE(command.operands, operands);
    QCOMPARE(command.value("jobs"), value);
}

QTEST_GUILESS_MAIN(TestInput)
#include "tst_input.moc"
