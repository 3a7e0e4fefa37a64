// Choosing the interface language: the start (option --lang over the setting UI/Language, a bad
// value told and ignored), what follows the choice (the program's and the library's texts, Qt's
// buttons, the number locale), the setting read and written alone, the menu choice from the
// keyboard and the mouse, the CSV titles in the program and in rawtool.

#include "boxwatch.h"
#include "export/record_export.h"
#include "language/language.h"
#include "settings.h"
#include "ui_MainWindow.h"
#include "uidriver.h"

#include <Velkit/vlk_strings.h>

#include <QBuffer>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTranslator>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
}

QMap<QString, QString> iniKeys(const QString& path)
{
    QSettings ini(path, QSettings::IniFormat);
    QMap<QString, QString> keys;
    for (const QString& k : ini.allKeys())
        keys.insert(k, ini.value(k).toString());
    return keys;
}

// The first line of a CSV file without its byte order mark.
QString titleLine(const QByteArray& csv)
{
    return QString::fromUtf8(csv.mid(3, csv.indexOf('\n') - 3));
}

const QString RussianTitle = QStringLiteral("Программа ввода и обработки информации для ZORIV-K4");
const QString EnglishTitle = QStringLiteral("Data input and processing for ZORIV-K4");

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void startLanguage_data();
    void startLanguage();
    void setting_data();
    void setting();
    void menuChoice();
    void csvTitles();
    void rawtoolTitles_data();
    void rawtoolTitles();
    void help_data();
    void help();

private:
    // Starts the program as "tavrel arguments" beside an adc.ini holding ini (none when empty).
    bool start(const QStringList& arguments, const QByteArray& ini);

    QLocale startLocale;
    std::unique_ptr<QTemporaryDir> appDir;
};

void TestLanguage::initTestCase()
{
    g_app = qApp;
    startLocale = QLocale();
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestLanguage::cleanup()
{
    delete g_mainWnd.data();
    delete g_translator;
    g_translator = nullptr;
    velkit::vlkShutdown();
    QLocale::setDefault(startLocale);
}

bool TestLanguage::start(const QStringList& arguments, const QByteArray& ini)
{
    appDir = std::make_unique<QTemporaryDir>();
    g_appDir = appDir->path();
    if (!ini.isEmpty())
        writeFile(appDir->filePath(QStringLiteral("adc.ini")), ini);
    return initApplication(QStringList{QStringLiteral("tavrel")} + arguments) == 0 && g_mainWnd;
}

void TestLanguage::startLanguage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("warning"); // the message shown, if any
    QTest::addColumn<QStringList>("files");
    const QByteArray en = "[WAVE_ADC]\nYAxis=1\n[UI]\nLanguage=en\n";
    const QByteArray ru = "[UI]\nLanguage=ru\n";
    QTest::newRow("nothing chosen") << QStringList() << QByteArray() << 0 << QString() << QStringList();
    QTest::newRow("setting en") << QStringList() << en << 1 << QString() << QStringList();
    QTest::newRow("setting English") << QStringList() << QByteArray("[UI]\nLanguage=English\n") << 0
                                     << QString() << QStringList();
    QTest::newRow("--lang en over ru") << QStringList{"a.raw", "--lang", "en", "b.raw"} << ru << 1
                                       << QString() << QStringList{"a.raw", "b.raw"};
    QTest::newRow("--lang ru over en")
        << QStringList{"--lang", "ru"} << en << 0 << QString() << QStringList();
    QTest::newRow("--lang=en") << QStringList{"--lang=en", "c.raw"} << QByteArray() << 1 << QString()
                               << QStringList{"c.raw"};
    QTest::newRow("--lang de: the setting's") << QStringList{"--lang", "de", "d.raw"} << en << 1
                                              << "Unknown interface language \"de\" in the option --lang.\n"
                                                 "Use ru or en; the language of the settings is used."
                                              << QStringList{"d.raw"};
    QTest::newRow("--lang EN, no setting") << QStringList{"--lang", "EN"} << QByteArray() << 0
                                           << "Неизвестный язык интерфейса \"EN\" в параметре --lang.\n"
                                              "Допустимы ru и en; язык взят из настроек."
                                           << QStringList();
    QTest::newRow("--lang without a value") << QStringList{"e.raw", "--lang"} << en << 1
                                            << "Unknown interface language \"\" in the option --lang.\n"
                                               "Use ru or en; the language of the settings is used."
                                            << QStringList{"e.raw"};
}

void TestLanguage::startLanguage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, ini);
    QFETCH(int, language);
    QFETCH(QString, warning);
    BoxAnswerer answer(QMessageBox::Ok, 1);
    QVERIFY(start(arguments, ini));
    QCOMPARE(g_language, language);
    QCOMPARE(g_mainWnd->windowTitle(), language ? EnglishTitle : RussianTitle);
    // The library's texts, Qt's own and the number locale go with it; Russian keeps the locale.
    QCOMPARE(velkit::libraryLanguage(), language);
    QCOMPARE(velkit::VlkStringsKit::instance().internalError.startsWith(QStringLiteral("An internal error")),
             language == 1);
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(),
             language ? QStringLiteral("Cancel") : QStringLiteral("Отмена"));
    QCOMPARE(QLocale().name(), language ? QStringLiteral("en_US") : startLocale.name());
    // The file the choice of the next start is kept in: the one the menu shows.
    QCOMPARE(g_mainWnd->form()->aLangEn->isChecked(), ini.contains("=en"));
    QCOMPARE(g_mainWnd->form()->aLangRu->isChecked(), !ini.contains("=en"));
    // The message comes once the window stands; the files are those of the command line.
    QCoreApplication::processEvents();
    QCOMPARE(answer.seen.size(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty()) {
        QCOMPARE(answer.seen[0].text, warning);
        QCOMPARE(answer.seen[0].icon, QMessageBox::Warning);
    }
    QTEST(commandLineFiles(QStringList{QStringLiteral("tavrel")} + arguments), "files");
}

void TestLanguage::setting_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("read");
    QTest::newRow("en") << QByteArray("[UI]\nLanguage=en\n") << 1;
    QTest::newRow("ru") << QByteArray("[UI]\nLanguage=ru\n") << 0;
    QTest::newRow("EN") << QByteArray("[UI]\nLanguage=EN\n") << 0;
    QTest::newRow("empty") << QByteArray("[UI]\nLanguage=\n") << 0;
    QTest::newRow("1") << QByteArray("[UI]\nLanguage=1\n") << 0;
    QTest::newRow("other group") << QByteArray("[OTHERS]\nLanguage=en\n") << 0;
    QTest::newRow("no file") << QByteArray() << 0;
}

// Read as the start reads it; then each language written and read back, every other key and
// group of the file as it was.
void TestLanguage::setting()
{
    QFETCH(QByteArray, ini);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("adc.ini"));
    if (!ini.isEmpty())
        writeFile(path, "[WAVE_ADC]\nYAxis=1\nGain2=3\n[COM]\nComName=K4-DEMO\n" + ini + "[UI]\nFont=Big\n");
    QTEST(readLanguageSetting(path), "read");
    const QMap<QString, QString> before = iniKeys(path);
    for (const int language : {1, 0, 1}) {
        QVERIFY(writeLanguageSetting(path, language));
        QCOMPARE(readLanguageSetting(path), language);
        QMap<QString, QString> expected = before;
        expected.insert(QStringLiteral("UI/Language"),
                        language ? QStringLiteral("en") : QStringLiteral("ru"));
        QCOMPARE(iniKeys(path), expected);
    }
    // A file that cannot be written.
    QVERIFY(!writeLanguageSetting(dir.filePath(QStringLiteral("adc.ini/adc.ini")), 1));
}

// "Настройки" → "Язык интерфейса": English chosen from the keyboard, Russian with the mouse; the
// message only when the next start changes the language; a file that cannot be written asks
// again and, answered No, takes the choice back.
void TestLanguage::menuChoice()
{
    QVERIFY(start({}, "[WAVE_ADC]\nYAxis=1\n"));
    Ui::MainWindow* ui = g_mainWnd->form();
    QVERIFY(QTest::qWaitForWindowActive(g_mainWnd));
    const QString ini = appDir->filePath(QStringLiteral("adc.ini"));
    // Unique shortcut letters in the menu, the submenu's included.
    QStringList letters;
    for (QAction* a : ui->mSettings->actions())
        if (!a->isSeparator())
            letters << QKeySequence::mnemonic(a->text()).toString();
    QCOMPARE(QSet<QString>(letters.begin(), letters.end()).size(), letters.size());
    QCOMPARE(ui->mLanguage->title(), QStringLiteral("&Язык интерфейса"));
    QCOMPARE((QStringList{ui->aLangRu->text(), ui->aLangEn->text()}),
             (QStringList{QStringLiteral("&Русский"), QStringLiteral("&English")}));

    {
        BoxAnswerer answer(QMessageBox::Ok, 1);
        QTest::sendKeyEvent(QTest::Click, g_mainWnd, Qt::Key(0x041D), QStringLiteral("н"), Qt::AltModifier);
        QTRY_VERIFY(ui->mSettings->isVisible());
        QTest::sendKeyEvent(QTest::Click, ui->mSettings, Qt::Key(0x042F), QStringLiteral("я"), {});
        QTRY_VERIFY(ui->mLanguage->isVisible());
        QTest::keyClick(ui->mLanguage, Qt::Key_E);
        QTRY_COMPARE(answer.seen.size(), 1);
        QCOMPARE(answer.seen[0].text,
                 QStringLiteral("Язык интерфейса сменится при следующем запуске программы."));
        QCOMPARE(answer.seen[0].icon, QMessageBox::Information);
    }
    QCOMPARE(iniKeys(ini).value(QStringLiteral("UI/Language")), QStringLiteral("en"));
    QCOMPARE(iniKeys(ini).value(QStringLiteral("WAVE_ADC/YAxis")), QStringLiteral("1"));
    QVERIFY(ui->aLangEn->isChecked() && !ui->aLangRu->isChecked());
    QCOMPARE(g_mainWnd->chosenLanguage, 1);
    // The save command writes its keys and leaves the choice as it is.
    ui->aCfgSave->trigger();
    QCOMPARE(readLanguageSetting(ini), 1);

    // Back to the running language with the mouse: stored, nothing to tell.
    {
        BoxAnswerer none(QMessageBox::Ok, 1);
        ui->mSettings->popup(g_mainWnd->mapToGlobal(QPoint(20, 20)));
        QTRY_VERIFY(ui->mSettings->isVisible());
        QTest::mouseClick(ui->mSettings, Qt::LeftButton, {},
                          ui->mSettings->actionGeometry(ui->mLanguage->menuAction()).center());
        QTRY_VERIFY(ui->mLanguage->isVisible());
        QTest::mouseClick(ui->mLanguage, Qt::LeftButton, {},
                          ui->mLanguage->actionGeometry(ui->aLangRu).center());
        QTRY_VERIFY(!ui->mLanguage->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(none.seen.size(), 0);
    }
    QCOMPARE(readLanguageSetting(ini), 0);
    QVERIFY(ui->aLangRu->isChecked() && !ui->aLangEn->isChecked());

    // The file cannot be written: asked again, No, and the menu shows Russian again.
    const QString blocker = appDir->filePath(QStringLiteral("blocker"));
    writeFile(blocker, "in the way");
    g_mainWnd->settingsDir = blocker + QDir::separator();
    {
        BoxAnswerer no(QMessageBox::No, 1);
        ui->aLangEn->trigger();
        QCOMPARE(no.seen.size(), 1);
        QCOMPARE(no.seen[0].text, QStringLiteral("Ошибка сохранения ini-файла.\nПовторить?"));
    }
    QVERIFY(ui->aLangRu->isChecked() && !ui->aLangEn->isChecked());
    QCOMPARE(g_mainWnd->chosenLanguage, 0);
    QCOMPARE(readLanguageSetting(ini), 0);
}

// The CSV export's titles are those of the catalogue installed, as in the program.
void TestLanguage::csvTitles()
{
    TWaveStor record(QRect(0, 0, 400, 300));
    QVERIFY(record.init(2, 10));
    record.channelHeader(0)->input = 9;
    record.channelHeader(1)->input = 27;
    auto titles = [&record] {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        return dataexport::writeCsv(out, record, dataexport::Request()) == 0 ? titleLine(out.data())
                                                                             : QString();
    };
    QCOMPARE(titles(), QStringLiteral("Время (мкс),Вход 9,Вход 27"));
    QTranslator english;
    QVERIFY(language::apply(language::English, english));
    QCoreApplication::installTranslator(&english);
    QCOMPARE(titles(), QStringLiteral("Time (µs),Input 9,Input 27"));
    QCoreApplication::removeTranslator(&english);
    QCOMPARE(titles(), QStringLiteral("Время (мкс),Вход 9,Вход 27"));
}

void TestLanguage::rawtoolTitles_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // the title line written, or what the error output holds
    QTest::newRow("default") << "" << 0 << "Время (мкс),Вход 1,Вход 2";
    QTest::newRow("--lang ru") << "--lang ru" << 0 << "Время (мкс),Вход 1,Вход 2";
    QTest::newRow("--lang en") << "--lang en" << 0 << "Time (µs),Input 1,Input 2";
    QTest::newRow("--lang=en") << "--lang=en" << 0 << "Time (µs),Input 1,Input 2";
    QTest::newRow("--lang de") << "--lang de" << 2 << "rawtool: csv: --lang takes ru or en, not 'de'";
    QTest::newRow("wav has none") << "--lang en" << 2 << "wav has no option --lang";
}

void TestLanguage::rawtoolTitles()
{
    QFETCH(QString, options);
    QFETCH(int, status);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("b.raw"));
    QVERIFY(QFile::copy(QStringLiteral(TAVREL_FIXTURES "/raw/two-channels-detector.raw"), input));
    const QString command = QString::fromLatin1(QTest::currentDataTag()).startsWith(QLatin1String("wav"))
                                ? QStringLiteral("wav")
                                : QStringLiteral("csv");
    QProcess tool;
    tool.start(QStringLiteral(TAVREL_BIN_DIR "/rawtool"),
               QStringList{command, input} + options.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    QVERIFY(tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), status);
    QFile csv(dir.filePath(QStringLiteral("b.csv")));
    if (status != 0) {
        QVERIFY(QString::fromUtf8(tool.readAllStandardError()).contains(said));
        QVERIFY(!csv.exists());
        return;
    }
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(titleLine(csv.readAll()), said);
    // The tool's own messages stay English.
    QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()),
             input + QStringLiteral(" -> ") + dir.filePath(QStringLiteral("b.csv")) + '\n');
}

void TestLanguage::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("first");
    QTest::newRow("ru") << QStringList{"--lang", "ru", "--help"} << "Использование: tavrel [ФАЙЛ.raw ...]";
    QTest::newRow("en") << QStringList{"--lang", "en", "--help"} << "Usage: tavrel [FILE.raw ...]";
    QTest::newRow("=en after") << QStringList{"-h", "--lang=en"} << "Usage: tavrel [FILE.raw ...]";
}

// The help, printed without a window, in the language the program would start in.
void TestLanguage::help()
{
    QFETCH(QStringList, arguments);
    QProcess tavrel;
    tavrel.start(QStringLiteral(TAVREL_BIN_DIR "/tavrel"), arguments);
    QVERIFY(tavrel.waitForFinished(60000) && tavrel.exitStatus() == QProcess::NormalExit);
    QCOMPARE(tavrel.exitCode(), 0);
    const QString out = QString::fromUtf8(tavrel.readAllStandardOutput());
    QTEST(out.left(out.indexOf(QLatin1Char(']')) + 1), "first");
    QVERIFY(out.contains(QStringLiteral("--lang ru|en")));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
