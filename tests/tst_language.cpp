// The interface language: the start (--lang over UI/Language, a bad value told) and what follows it,
// the setting written alone, the menu choice; rawtool's --lang (the CSV titles) and the help.

#include "boxwatch.h"
#include "language/language.h"
#include "settings.h"
#include "ui_MainWindow.h"
#include "uidriver.h"

#include <Velkit/vlk_strings.h>

#include <QDialogButtonBox>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {

QMap<QString, QString> iniKeys(const QString& path)
{
    QSettings ini(path, QSettings::IniFormat);
    QMap<QString, QString> keys;
    for (const QString& k : ini.allKeys())
        keys.insert(k, ini.value(k).toString());
    return keys;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        g_app = qApp;
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void cleanup()
    {
        delete g_mainWnd.data();
        delete g_translator;
        g_translator = nullptr;
        velkit::vlkShutdown();
        QLocale::setDefault(startLocale);
    }
    void start_data();
    void start();
    void setting();
    void menuChoice();
    void programs_data();
    void programs();

private:
    const QLocale startLocale;
    QTemporaryDir dir;
};

void TestLanguage::start_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("warning"); // shown once the window stands
    QTest::addColumn<QStringList>("files");
    const QByteArray en = "[WAVE_ADC]\nYAxis=1\n[UI]\nLanguage=en\n";
    const QString enBad = "Unknown interface language \"%1\" in the option --lang.\n"
                          "Use ru or en; the language of the settings is used.";
    QTest::newRow("nothing") << QStringList() << QByteArray() << 0 << QString() << QStringList();
    QTest::newRow("setting en") << QStringList() << en << 1 << QString() << QStringList();
    QTest::newRow("setting English") << QStringList() << QByteArray("[UI]\nLanguage=English\n") << 0
                                     << QString() << QStringList();
    QTest::newRow("--lang en over ru")
        << QStringList{"a.raw", "--lang", "en", "b.raw"} << QByteArray("[UI]\nLanguage=ru\n") << 1
        << QString() << QStringList{"a.raw", "b.raw"};
    QTest::newRow("--lang ru over en")
        << QStringList{"--lang", "ru"} << en << 0 << QString() << QStringList();
    QTest::newRow("--lang=en") << QStringList{"--lang=en", "c.raw"} << QByteArray() << 1 << QString()
                               << QStringList{"c.raw"};
    QTest::newRow("--lang de: the setting's")
        << QStringList{"--lang", "de", "d.raw"} << en << 1 << enBad.arg("de") << QStringList{"d.raw"};
    QTest::newRow("--lang EN, no setting") << QStringList{"--lang", "EN"} << QByteArray() << 0
                                           << "Неизвестный язык интерфейса \"EN\" в параметре --lang.\n"
                                              "Допустимы ru и en; язык взят из настроек."
                                           << QStringList();
    QTest::newRow("--lang without value")
        << QStringList{"e.raw", "--lang"} << en << 1 << enBad.arg("") << QStringList{"e.raw"};
}

void TestLanguage::start()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, ini);
    QFETCH(int, language);
    QFETCH(QString, warning);
    QTemporaryDir appDir;
    g_appDir = appDir.path();
    if (!ini.isEmpty())
        writeFile(appDir.filePath(QStringLiteral("adc.ini")), ini);
    BoxAnswerer answer;
    arguments.prepend(QStringLiteral("tavrel"));
    QCOMPARE(initApplication(arguments), 0);
    QCOMPARE(g_language, language);
    QCOMPARE(g_mainWnd->windowTitle(),
             language ? QStringLiteral("Data input and processing for ZORIV-K4")
                      : QStringLiteral("Программа ввода и обработки информации для ZORIV-K4"));
    // The library's texts, Qt's own and the number locale follow; Russian keeps the locale.
    QCOMPARE(velkit::libraryLanguage(), language);
    QCOMPARE(velkit::VlkStringsKit::instance().internalError.startsWith("An internal error"), language == 1);
    QCOMPARE(QDialogButtonBox(QDialogButtonBox::Cancel).buttons().value(0)->text(),
             language ? "Cancel" : "Отмена");
    QCOMPARE(QLocale().name(), language ? QStringLiteral("en_US") : startLocale.name());
    // The menu shows the setting, the language of the next start.
    QCOMPARE(g_mainWnd->form()->aLangEn->isChecked(), ini.contains("=en"));
    // The shortcut letters of the menu bar and of each menu are unique, but in the colour menu,
    // whose four groups give 1 … 4 each.
    QList<QList<QAction*>> menus{g_mainWnd->form()->menubar->actions()};
    for (int i = 0; i < menus.size(); ++i)
        for (QAction* a : menus[i])
            if (a->menu() && a->menu() != g_mainWnd->form()->mColor)
                menus << a->menu()->actions();
    QVERIFY(menus.size() >= 10);
    for (const QList<QAction*>& menu : menus) {
        QStringList letters;
        for (QAction* a : menu)
            if (!a->isSeparator())
                letters << QKeySequence::mnemonic(a->text()).toString();
        QVERIFY2(!letters.contains(QString()) &&
                     QSet<QString>(letters.begin(), letters.end()).size() == letters.size(),
                 qPrintable(letters.join(' ')));
    }
    QCoreApplication::processEvents();
    QCOMPARE(answer.seen.size(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty())
        QCOMPARE(answer.seen[0].text, warning);
    QTEST(commandLineFiles(arguments), "files");
}

// Each language written and read back, every other key as it was; what reads as Russian.
void TestLanguage::setting()
{
    const QString path = dir.filePath(QStringLiteral("setting.ini"));
    writeFile(path, "[WAVE_ADC]\nGain2=3\n[UI]\nFont=Big\nLanguage=EN\n");
    QCOMPARE(readLanguageSetting(path), 0);
    QMap<QString, QString> expected = iniKeys(path);
    for (const int language : {1, 0, 1}) {
        QVERIFY(writeLanguageSetting(path, language));
        QCOMPARE(readLanguageSetting(path), language);
        expected[QStringLiteral("UI/Language")] = language ? QStringLiteral("en") : QStringLiteral("ru");
        QCOMPARE(iniKeys(path), expected);
    }
    QCOMPARE(readLanguageSetting(dir.filePath(QStringLiteral("none.ini"))), 0);
    QVERIFY(!writeLanguageSetting(path + QStringLiteral("/adc.ini"), 1));
}

// "Настройки" → "Язык интерфейса" from the keyboard: stored at once and told; back to the running
// language silently; a file that cannot be written asks again and, answered No, keeps the menu.
void TestLanguage::menuChoice()
{
    QTemporaryDir appDir;
    g_appDir = appDir.path();
    QCOMPARE(initApplication({QStringLiteral("tavrel")}), 0);
    Ui::MainWindow* ui = g_mainWnd->form();
    QVERIFY(QTest::qWaitForWindowActive(g_mainWnd));
    const QString ini = appDir.filePath(QStringLiteral("adc.ini"));
    {
        BoxAnswerer answer;
        QTest::sendKeyEvent(QTest::Click, g_mainWnd, Qt::Key(0x041D), QStringLiteral("н"), Qt::AltModifier);
        QTRY_VERIFY(ui->mSettings->isVisible());
        QTest::sendKeyEvent(QTest::Click, ui->mSettings, Qt::Key(0x042F), QStringLiteral("я"), {});
        QTRY_VERIFY(ui->mLanguage->isVisible());
        QTest::keyClick(ui->mLanguage, Qt::Key_E);
        QTRY_COMPARE(answer.seen.size(), 1);
        QCOMPARE(answer.seen[0].text,
                 QStringLiteral("Язык интерфейса сменится при следующем запуске программы."));
    }
    QCOMPARE(iniKeys(ini), (QMap<QString, QString>{{"UI/Language", "en"}}));
    QVERIFY(ui->aLangEn->isChecked() && !ui->aLangRu->isChecked());
    ui->aLangRu->trigger(); // the running language: nothing to tell (the watchdog would fail it)
    QCOMPARE(readLanguageSetting(ini), 0);

    g_mainWnd->settingsDir = ini + QDir::separator(); // a file where the folder should be
    BoxAnswerer no(QMessageBox::No);
    ui->aLangEn->trigger();
    QCOMPARE(no.seen.value(0).text, QStringLiteral("Ошибка сохранения ini-файла.\nПовторить?"));
    QVERIFY(ui->aLangRu->isChecked() && g_mainWnd->chosenLanguage == 0);
}

void TestLanguage::programs_data()
{
    QTest::addColumn<QString>("command"); // "@": a copy of a two-channel record
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // in the output, or "=" and the CSV's title row
    QTest::newRow("rawtool") << "rawtool csv @" << 0 << "=Время (мкс),Вход 1,Вход 2";
    QTest::newRow("rawtool --lang en") << "rawtool csv @ --lang en" << 0 << "=Time (µs),Input 1,Input 2";
    QTest::newRow("rawtool --lang de") << "rawtool csv @ --lang=de" << 2 << "--lang takes ru or en, not 'de'";
    // Without a display: the help makes no window.
    QTest::newRow("help in English")
        << "tavrel --lang en --help" << 0
        << "Usage: tavrel [FILE.raw ...] [--series FOLDER [--count N] [--pause S] "
           "[--prefix P]]\n";
    QTest::newRow("help in Russian") << "tavrel -h --lang=ru" << 0
                                     << "Использование: tavrel [ФАЙЛ.raw ...] [--series ПАПКА [--count N] "
                                        "[--pause S] [--prefix P]]\n";
}

void TestLanguage::programs()
{
    QFETCH(QString, command);
    QFETCH(QString, said);
    const QString raw = dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_') + ".raw");
    QVERIFY(QFile::copy(QStringLiteral(TAVREL_FIXTURES "/raw/two-channels-detector.raw"), raw));
    QStringList arguments = command.replace('@', raw).split(' ');
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TAVREL_BIN_DIR "/") + arguments.takeFirst(), arguments);
    QVERIFY(p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit);
    QTEST(p.exitCode(), "status");
    QFile csv(raw.chopped(4) + QStringLiteral(".csv"));
    if (said.startsWith('='))
        QVERIFY(csv.open(QIODevice::ReadOnly) && csv.readLine().mid(3).trimmed() == said.mid(1).toUtf8());
    else
        QVERIFY(QString::fromUtf8(p.readAllStandardError() + p.readAllStandardOutput()).contains(said));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
