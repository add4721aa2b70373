// SPDX-License-Identifier: MIT
// The string tables: the language ptcdrop-cli picks from the locale, the key-itself rule and
// tables that cover every id with the same placeholders as English.
#include "Alert.h"
#include "Messages.h"

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

using namespace ptcdrop;

namespace {

const QString kGermanRead = QStringLiteral(
    "Die Datei „missing.txt“ konnte nicht gelesen werden; sie wurde nicht umgewandelt.");
const QString kEnglishRead =
    QStringLiteral("The file “missing.txt” could not be read; it was not converted.");

// The ids of the English table, which is the fallback and so the complete list, plus the
// core's message keys, which must all be in it.
QStringList englishIds()
{
    QStringList ids;
    QFile file(QStringLiteral(PTCDROP_TRANSLATIONS "/ptcdrop_en.ts"));
    if (!file.open(QIODevice::ReadOnly))
        return ids;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1StringView("message"))
            ids.append(xml.attributes().value(QLatin1StringView("id")).toString());
    }
    for (const char* key :
         {keys::kDirectory, keys::kResource, keys::kSave, keys::kUnzip, keys::kRead, keys::kName,
          keys::kTrailing, keys::kJoinKind, keys::kJoinMissing, keys::kJoinDamaged}) {
        if (!ids.contains(QLatin1StringView(key)))
            ids.append(QString::fromLatin1(key));
    }
    return ids;
}

// What a translation must keep from the English text: its placeholders and accelerator
// marks, in any order ("&&" is a literal ampersand, not a mark).
QStringList placeholders(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("%@|%\\d+|&&|&"));
    QStringList found;
    for (const QRegularExpressionMatch& match : pattern.globalMatch(text)) {
        if (match.captured() != QLatin1StringView("&&"))
            found.append(match.captured());
    }
    found.sort();
    return found;
}

// Installs the table for a locale for the lifetime of the object.
class InstalledTable
{
public:
    explicit InstalledTable(const QString& locale)
        : m_loaded(loadStringTable(m_translator, QLocale(locale)))
    {
        QCoreApplication::installTranslator(&m_translator);
    }
    ~InstalledTable() { QCoreApplication::removeTranslator(&m_translator); }
    InstalledTable(const InstalledTable&) = delete;
    InstalledTable& operator=(const InstalledTable&) = delete;

    bool loaded() const { return m_loaded; }
    const QTranslator& translator() const { return m_translator; }

private:
    QTranslator m_translator;
    bool m_loaded;
};

} // namespace

class TestStrings : public QObject
{
    Q_OBJECT

private slots:
    void cliFollowsLocale_data();
    void cliFollowsLocale();
    void missingKeyShowsItself_data();
    void missingKeyShowsItself();
    void tableCoversEveryId_data();
    void tableCoversEveryId();
};

void TestStrings::cliFollowsLocale_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("lcMessages");
    QTest::addColumn<QString>("lcAll");
    QTest::addColumn<QString>("expected");

    // clang-format off
    QTest::newRow("LANG German")              << "de_DE.UTF-8" << ""            << ""            << kGermanRead;
    QTest::newRow("LANG German of Austria")   << "de_AT.UTF-8" << ""            << ""            << kGermanRead;
    QTest::newRow("LANG C")                   << "C"           << ""            << ""            << kEnglishRead;
    QTest::newRow("LANG French, no table")    << "fr_FR.UTF-8" << ""            << ""            << kEnglishRead;
    QTest::newRow("LC_MESSAGES over LANG")    << "C"           << "de_DE.UTF-8" << ""            << kGermanRead;
    QTest::newRow("LC_ALL over LANG")         << "C"           << ""            << "de_DE.UTF-8" << kGermanRead;
    QTest::newRow("LC_ALL C over German")     << "de_DE.UTF-8" << "de_DE.UTF-8" << "C"           << kEnglishRead;
    // clang-format on
}

void TestStrings::cliFollowsLocale()
{
    QFETCH(QString, lang);
    QFETCH(QString, lcMessages);
    QFETCH(QString, lcAll);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // LANGUAGE would override all of them for the interface language.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        environment.remove(QString::fromLatin1(name));
    const std::pair<const char*, QString> settings[] = {
        {"LANG", lang}, {"LC_MESSAGES", lcMessages}, {"LC_ALL", lcAll}};
    for (const auto& [name, value] : settings) {
        if (!value.isEmpty())
            environment.insert(QString::fromLatin1(name), value);
    }

    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.setWorkingDirectory(dir.path());
    cli.start(QStringLiteral(PTCDROP_CLI), {QStringLiteral("missing.txt")});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardError()),
             QStringLiteral("ptcdrop-cli: ") + expected + QLatin1Char('\n'));
}

void TestStrings::missingKeyShowsItself_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("argumentText"); // none when empty

    // clang-format off
    QTest::newRow("German table")                << "de_DE" << "";
    QTest::newRow("German table, with argument") << "de_DE" << "x.ptc";
    QTest::newRow("English table")               << "en_US" << "";
    QTest::newRow("English fallback, argument")  << "fr_FR" << "x.ptc";
    // clang-format on
}

void TestStrings::missingKeyShowsItself()
{
    QFETCH(QString, locale);
    QFETCH(QString, argumentText);
    const std::optional<QString> argument =
        argumentText.isEmpty() ? std::nullopt : std::optional<QString>(argumentText);

    const InstalledTable table(locale);
    QVERIFY(table.loaded());
    // The table is really in place: a key it has is translated.
    QVERIFY(messageText({QString::fromLatin1(keys::kRead), argument}) !=
            QLatin1StringView(keys::kRead));
    const QString key = QStringLiteral("NotInAnyTable");
    QCOMPARE(messageText({key, argument}), key);
}

void TestStrings::tableCoversEveryId_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("file");

    // clang-format off
    QTest::newRow("English") << "en_US" << ":/i18n/ptcdrop_en.qm";
    QTest::newRow("German")  << "de_DE" << ":/i18n/ptcdrop_de.qm";
    // clang-format on
}

void TestStrings::tableCoversEveryId()
{
    QFETCH(QString, locale);
    QFETCH(QString, file);

    const QStringList ids = englishIds();
    QVERIFY(ids.size() > 5);
    QTranslator english;
    QVERIFY(english.load(QStringLiteral(":/i18n/ptcdrop_en.qm")));
    const InstalledTable table(locale);
    QVERIFY(table.loaded());
    QCOMPARE(table.translator().filePath(), file);

    for (const QString& id : ids) {
        const QByteArray utf8 = id.toUtf8();
        const QString text = table.translator().translate(nullptr, utf8.constData());
        QVERIFY2(!text.isEmpty(), qPrintable(QStringLiteral("no text for ") + id));
        const QString englishText = english.translate(nullptr, utf8.constData());
        QVERIFY2(placeholders(text) == placeholders(englishText),
                 qPrintable(id + QStringLiteral(": placeholders differ from English: ") + text));
    }
}

QTEST_GUILESS_MAIN(TestStrings)
#include "tst_strings.moc"
