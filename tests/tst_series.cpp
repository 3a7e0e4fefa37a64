// Series of records: the log, the SERIES settings, the command line, and whole series through the
// emulated unit (pause 0, or 3600 s where one is waited in): failures, Stop, closing, dialog, table.

#include "acquisition.h"
#include "boxwatch.h"
#include "k4demo.h"
#include "rs232.h"
#include "series/series_dialog.h"
#include "series/series_table.h"
#include "settings.h"
#include "ui_MainWindow.h"
#include "ui_SeriesDialog.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include <unistd.h>

using series::LogRow;

namespace {

const QString Header = QStringLiteral("file,start_utc,end_utc,channels,samples,rate_hz,hits,status");

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool write(const QString& path, const QByteArray& b, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile f(path);
    return f.open(mode) && f.write(b) == b.size();
}

} // namespace

class TestSeries : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { startLibrary(); }
    void init();
    void cleanup();
    void logLines_data();
    void logLines();
    void logFile();
    void settingsGroup_data();
    void settingsGroup();
    void runs_data();
    void runs();
    void commandLine_data();
    void commandLine();
    void refusedCommands();
    void closing_data();
    void closing();
    void dialog();
    void table();

private:
    QString folder() const { return dir->filePath(QStringLiteral("s")); }
    QString inFolder(const QString& name) const { return QDir(folder()).filePath(name); }
    bool waitEnd()
    {
        return QTest::qWaitFor([this] { return !main->seriesRunning(); }, 40000);
    }
    series::Settings settings(int count, int pause, bool hits = false) const
    {
        return {folder(), QStringLiteral("rec"), count, pause, hits};
    }
    QString statusBar() const { return main->findChild<QLabel*>(QStringLiteral("seriesLabel"))->text(); }

    std::unique_ptr<QTemporaryDir> dir; // a fresh folder for every test
    QPointer<MainWnd> main;
};

void TestSeries::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("s")));
    main = makeMainWindow(QSize(1200, 800));
    QVERIFY(main);
    main->activateWindow(); // shortcuts reach an active window
    QVERIFY(QTest::qWaitForWindowActive(main));
    g_link.portName = demoPortName();
    g_link.rate = 115200;
    demoUnit().setPaced(false);
    demoUnit().setFault(K4Fault());
    g_acquisitionParameters = AcquisitionParameters();
    g_acquisitionParameters.halfLength = 500; // 1000 samples at 12 MHz / 48 = 250 kHz
    g_acquisitionParameters.waitCount = 11;
    g_acquisitionParameters.detector = 0;
    g_hitSettings = ae::HitSettings();
    g_hitSettings.thresholdV = 0.05;
    g_seriesSettings = series::Settings();
}

void TestSeries::cleanup()
{
    if (main) {
        qDeleteAll(main->forms());
        delete main.data();
    }
}

void TestSeries::logLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("readable"); // then written back exactly, field for field
    QTest::newRow("every field")
        << "rec_00007.raw,2026-12-07T10:15:02.347Z,2026-12-08T00:00:00.009Z,4,163840,250000,12,ok" << true;
    QTest::newRow("quoted, no hits")
        << "\"a,\"\"b\"\".raw\",2026-12-07T10:15:02.347Z,2026-12-08T00:00:00.009Z,"
           "4,1,25,,\"failed: \"\"x\"\", y\""
        << true;
    QTest::newRow("failed, no file, no end") << ",2026-12-07T10:15:02.347Z,,0,0,0,,failed: stopped" << true;
    QTest::newRow("seven fields") << "a.raw,,,4,1,1,ok" << false;
    QTest::newRow("nine fields") << "a.raw,,,4,1,1,,ok,x" << false;
    QTest::newRow("time without ms") << "a.raw,2026-12-07T10:15:02Z,,4,1,1,,ok" << false;
    QTest::newRow("no such day") << "a.raw,2026-02-30T10:15:02.347Z,,4,1,1,,ok" << false;
    QTest::newRow("negative samples") << "a.raw,,,4,-1,1,,ok" << false;
    QTest::newRow("open quote") << "\"a.raw,,,4,1,1,,ok" << false;
}

void TestSeries::logLines()
{
    QFETCH(QString, line);
    const std::optional<LogRow> r = series::parseLogLine(line);
    QTEST(bool(r), "readable");
    if (r)
        QCOMPARE(series::logLine(*r), line);
}

void TestSeries::logFile()
{
    // Made with its header; an old log whose last line was cut keeps every byte and gets a line end.
    const QString path = inFolder(QStringLiteral("series.csv"));
    LogRow r;
    r.file = QStringLiteral("p_00001.raw");
    r.status = QStringLiteral("ok");
    QCOMPARE(series::appendLogRow(folder(), r), 0);
    QCOMPARE(bytes(path), Header.toUtf8() + "\np_00001.raw,,,0,0,0,,ok\n");
    QVERIFY(write(path, "p_00002.raw,2026-12", QIODevice::Append));
    const QByteArray before = bytes(path);
    r.file = QStringLiteral("p_00003.raw");
    QCOMPARE(series::appendLogRow(folder(), r), 0);
    QCOMPARE(bytes(path), before + "\np_00003.raw,,,0,0,0,,ok\n");
    const series::LogContents log = series::readLog(path);
    QVERIFY(log.found && log.headerOk);
    QCOMPARE(log.rows.size(), 2);
    QCOMPARE(log.unreadable, 1);
    QCOMPARE(series::logRowFor(inFolder(QStringLiteral("p_00003.raw")))->file, r.file);
    QVERIFY(!series::logRowFor(inFolder(QStringLiteral("p_00002.raw"))));
    QCOMPARE(series::appendLogRow(dir->filePath(QStringLiteral("gone")), r), int(RawWriteFailed)); // not made
    QVERIFY(!QFileInfo::exists(dir->filePath(QStringLiteral("gone"))));

    // Numbers: five digits, the last one, none left.
    QCOMPARE(series::recordName(QStringLiteral("p"), 99999), QStringLiteral("p_99999.raw"));
    QVERIFY(QFile(inFolder(QStringLiteral("p_99999.raw"))).open(QIODevice::WriteOnly));
    QCOMPARE(series::nextFreeNumber(folder(), QStringLiteral("p"), 99998), 99998);
    QCOMPARE(series::nextFreeNumber(folder(), QStringLiteral("p"), 99999), 0);
}

void TestSeries::settingsGroup_data()
{
    QTest::addColumn<QString>("group"); // the [SERIES] lines of adc.ini
    QTest::addColumn<QString>("read");  // prefix, count, pause, hit search
    QTest::newRow("upper edges") << "Prefix=v7\nCount=99999\nPause=3600\nFindHits=1"
                                 << "v7 99999 3600 1";
    QTest::newRow("out of range") << "Count=100000\nPause=3601\nFindHits=2"
                                  << "rec 0 0 0";
    QTest::newRow("garbage") << "Prefix=a/b\nCount=-1\nPause=ten\nFindHits=yes"
                             << "rec 0 0 0";
}

void TestSeries::settingsGroup()
{
    QFETCH(QString, group);
    const QString ini = dir->filePath(QStringLiteral("adc.ini"));
    QVERIFY(write(ini, ("[SERIES]\n" + group + "\n").toUtf8()));
    ProgramSettings s;
    readSettings(ini, s);
    const series::Settings& r = s.series;
    QTEST(QStringLiteral("%1 %2 %3 %4").arg(r.prefix).arg(r.count).arg(r.pauseS).arg(int(r.findHits)),
          "read");
}

void TestSeries::runs_data()
{
    QTest::addColumn<QString>("action");   // what happens once the first record is saved
    QTest::addColumn<QList<int>>("set");   // count, pause, hit search
    QTest::addColumn<QString>("planted");  // numbers of the files there before
    QTest::addColumn<QString>("files");    // numbers of the series' records afterwards
    QTest::addColumn<QString>("statuses"); // of the log's rows; "failed" stands for any reason
    QTest::addColumn<QString>("ending");   // the status bar's last text, up to the time
    QTest::addColumn<QString>("warning");  // %1: the folder
    auto row = [](const char* name, const char* action, int count, int pause, bool hits, const char* planted,
                  const char* files, const char* statuses, const QString& ending, const QString& warning) {
        QTest::newRow(name) << QString(action) << QList<int>{count, pause, hits} << QString(planted)
                            << QString(files) << QString(statuses) << ending << warning;
    };
    const QString done3 = QStringLiteral("Серия завершена: сохранено 3 из 3"),
                  broken = QStringLiteral("Серия прервана: сохранено 1"),
                  stopped = QStringLiteral("Серия остановлена: сохранено 1 ·"),
                  notSaved = QStringLiteral("Ошибка записи файла %1/rec_00002.raw (%2).\nСерия остановлена.");
    row("three records", "", 3, 0, true, "", "1 2 3", "ok|ok|ok", done3, "");
    row("numbering skips files", "", 3, 0, false, "1 3", "2 4 5", "ok|ok|ok", done3, "");
    row("a second series appends", "again", 2, 0, false, "", "1 2 3 4", "ok|ok|ok|ok",
        "Серия завершена: сохранено 2 из 2", "");
    row("unit stops answering", "unit dies", 0, 0, false, "", "1", "ok|failed|failed|failed", broken,
        "Ошибка загрузки!\nНеудачных попыток подряд: 3. Серия остановлена, записей сохранено: 1.");
    row("folder replaced by a file", "folder to file", 0, 0, true, "", "1", "ok", broken,
        notSaved.arg("%1", "-16"));
    row("folder made read-only", "read-only", 0, 0, true, "", "1", "ok|failed: not saved (-1)", broken,
        notSaved.arg("%1", "-1"));
    row("Esc in a pause", "Esc, pause", 0, 3600, false, "", "1", "ok", stopped, "");
    row("Stop in a pause", "Stop, pause", 5, 3600, true, "", "1", "ok",
        "Серия остановлена: сохранено 1 из 5 ·", "");
    row("Esc in an acquisition", "Esc, acquiring", 0, 0, false, "", "1", "ok|failed: stopped", stopped, "");
    row("STOP in an acquisition", "STOP, acquiring", 0, 0, false, "", "1", "ok|failed: stopped", stopped, "");
}

void TestSeries::runs()
{
    QFETCH(QString, action);
    QFETCH(QList<int>, set);
    QFETCH(QString, warning);
    const int count = set[0], pause = set[1], hits = set[2];
    if (action == QLatin1String("read-only") && ::geteuid() == 0)
        QSKIP("root writes into a read-only folder; the folder replaced by a file covers the failed save");
    auto names = [](const QString& numbers) {
        QStringList l;
        for (const QString& n : numbers.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            l << series::recordName(QStringLiteral("rec"), n.toInt());
        return l;
    };
    QFETCH(QString, planted);
    QFETCH(QString, files);
    const QStringList plantedFiles = names(planted), seriesFiles = names(files);
    QDir d(folder());
    for (const QString& p : plantedFiles)
        QVERIFY(writeRecord(d.filePath(p), 1, 10, [](int, int i) { return qint8(i); }));
    const QByteArray plantedBytes =
        plantedFiles.isEmpty() ? QByteArray() : bytes(d.filePath(plantedFiles[0]));
    BoxAnswerer boxes(QMessageBox::Ok, 5);
    QVERIFY(main->startSeries(settings(count, pause, hits)));
    QVERIFY(main->seriesRunning() && main->form()->aSeriesStop->isEnabled());

    const QString moved = dir->filePath(QStringLiteral("moved"));
    bool done = action.isEmpty() || action == QLatin1String("again");
    QTimer poll; // the action, at a point of the run
    connect(&poll, &QTimer::timeout, this, [&] {
        const series::Run* run = main->seriesRun();
        if (done || !run || run->status().saved < 1)
            return;
        const series::Phase phase = run->status().phase;
        auto* progress = main->findChild<UnClosableDialog*>(QStringLiteral("LoadProgress"));
        if (action == QLatin1String("unit dies")) {
            K4Fault f;
            f.kind = K4Fault::NoAck;
            demoUnit().setFault(f);
        } else if (action == QLatin1String("folder to file")) {
            QVERIFY(QDir().rename(folder(), moved));
            QFile file(folder());
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (action == QLatin1String("read-only")) {
            QVERIFY(QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner));
        } else if (action.endsWith(QLatin1String("pause"))) {
            if (phase != series::Phase::Pausing)
                return;
            if (action.startsWith(QLatin1String("Esc"))) {
                // The window manager gives the main window back its activation after the
                // acquisition's dialog; the offscreen platform leaves that to the test.
                QApplication::setActiveWindow(main);
                QTest::keyClick(main, Qt::Key_Escape);
            } else
                main->form()->aSeriesStop->trigger();
            QVERIFY(!main->seriesRunning()); // at once
        } else {
            if (phase != series::Phase::Acquiring || !progress || !progress->isVisible())
                return;
            if (action.startsWith(QLatin1String("Esc")))
                QTest::keyClick(progress, Qt::Key_Escape);
            else
                progress->findChild<QToolButton*>(QStringLiteral("tStop"))->click();
        }
        done = true;
    });
    poll.start(2);
    QVERIFY(waitEnd());
    if (action == QLatin1String("again")) {
        QVERIFY(main->startSeries(settings(count, pause, hits)));
        QVERIFY(waitEnd());
        QCOMPARE(main->forms().size(), 1); // the same window
    }
    QVERIFY(done);
    if (action == QLatin1String("read-only"))
        QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!warning.isEmpty())
        QTRY_COMPARE(boxes.seen.value(0).text, warning.replace("%1", QDir::toNativeSeparators(folder())));
    QTest::qWait(20); // no second box
    QCOMPARE(boxes.seen.size(), warning.isEmpty() ? 0 : 1);
    QVERIFY(!main->form()->aSeriesStop->isEnabled());
    QFETCH(QString, ending);
    QVERIFY2(statusBar().startsWith(ending), qPrintable(statusBar()));
    TWForm* w = main->seriesWindow();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Серия — ") + QDir::toNativeSeparators(folder()));
    // Only a record that could not be saved is still to be saved.
    QCOMPARE(w->unsavedRecording, warning.contains(QStringLiteral("записи файла")));

    // The records: planted ones untouched, the series' ones whole and as the log says.
    if (action == QLatin1String("folder to file"))
        d.setPath(moved);
    QStringList all = plantedFiles + seriesFiles;
    all.sort();
    QCOMPARE(d.entryList({QStringLiteral("*.raw")}, QDir::Files, QDir::Name), all);
    QCOMPARE(d.entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden), QStringList());
    if (!plantedFiles.isEmpty())
        QCOMPARE(bytes(d.filePath(plantedFiles[0])), plantedBytes);
    const QString logPath = d.filePath(QStringLiteral("series.csv"));
    QCOMPARE(QString::fromUtf8(bytes(logPath)).split(QLatin1Char('\n')).count(Header), 1);
    const series::LogContents log = series::readLog(logPath);
    QFETCH(QString, statuses);
    const QStringList status = statuses.split(QLatin1Char('|'));
    QVERIFY(log.headerOk);
    QCOMPARE(log.unreadable, 0);
    QCOMPARE(log.rows.size(), status.size());
    QDateTime previousEnd;
    int saved = 0;
    for (int k = 0; k < status.size(); ++k) {
        const LogRow& r = log.rows[k];
        if (status[k] == QLatin1String("failed"))
            QVERIFY2(r.status.startsWith(QLatin1String("failed: ")) && r.file.isEmpty(),
                     qPrintable(r.status));
        else
            QCOMPARE(r.status, status[k]);
        QVERIFY(r.startUtc.isValid() && r.startUtc.timeSpec() == Qt::UTC);
        QVERIFY(!previousEnd.isValid() || r.startUtc >= previousEnd);
        if (!r.ok())
            continue;
        QVERIFY(r.endUtc > r.startUtc);
        previousEnd = r.endUtc;
        QCOMPARE(r.file, seriesFiles.value(saved++));
        TWaveStor back;
        QCOMPARE(back.readFileCondition(d.filePath(r.file)), quint16(0));
        const qint64 rate = samplingRateHz(back.header.clockKHz, back.header.divider);
        QCOMPARE((QList<qint64>{r.channels, r.samples, r.rateHz, back.channelCount(), back.length(), rate}),
                 (QList<qint64>{4, 1000, 250000, 4, 1000, 250000}));
        QCOMPARE(r.hits, hits ? int(ae::detectHits(back, g_hitSettings).size()) : -1);
    }
    QCOMPARE(saved, seriesFiles.size());
}

void TestSeries::commandLine_data()
{
    QTest::addColumn<QStringList>("args");  // after the program's name and a file to open
    QTest::addColumn<QStringList>("files"); // made by the series
    QTest::addColumn<QString>("warning");   // %1: the folder; then "Серия не запущена."
    const QString s = QStringLiteral("%1");
    QTest::newRow("every option") << QStringList{"--series", s,   "--count",  "2",
                                                 "--pause",  "0", "--prefix", "cli"}
                                  << QStringList{"cli_00001.raw", "cli_00002.raw"} << "";
    QTest::newRow("values after =") << QStringList{"--series=" + s, "--count=1"}
                                    << QStringList{"ini_00001.raw"} << "";
    QTest::newRow("no folder") << QStringList{"--series"} << QStringList() << "Не указана папка серии.";
    QTest::newRow("no --series") << QStringList{"--count", "3"} << QStringList() << "Не указана папка серии.";
    QTest::newRow("missing folder") << QStringList{"--series", s + "/none"} << QStringList()
                                    << "Папка %1/none не найдена.";
    QTest::newRow("negative count") << QStringList{"--series", s, "--count", "-2"} << QStringList()
                                    << "Неверное значение --count: \"-2\".";
    QTest::newRow("pause too long") << QStringList{"--series", s, "--pause", "3601"} << QStringList()
                                    << "Неверное значение --pause: \"3601\".";
    QTest::newRow("prefix with a slash") << QStringList{"--series", s, "--prefix", "a/b"} << QStringList()
                                         << "Неверное значение --prefix: \"a/b\".";
    QTest::newRow("count without value")
        << QStringList{"--series", s, "--count"} << QStringList() << "Не задано значение --count.";
}

void TestSeries::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, files);
    QFETCH(QString, warning);
    for (QString& a : args)
        a.replace(QStringLiteral("%1"), folder());
    // adc.ini's values for what is not given: the prefix, the hit search.
    g_seriesSettings.prefix = QStringLiteral("ini");
    g_seriesSettings.count = 4;
    g_seriesSettings.findHits = true;
    const series::Settings kept = g_seriesSettings;
    const QStringList line = QStringList{QStringLiteral("tavrel"), QStringLiteral("x.raw")} + args;
    QCOMPARE(commandLineFiles(line), QStringList{QStringLiteral("x.raw")}); // no value is a file
    BoxAnswerer boxes(QMessageBox::Ok, 5);
    startCommandLineSeries(line);
    QVERIFY(!main->seriesRunning()); // from the event loop
    if (warning.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(
            QDir(folder()).entryList({QStringLiteral("*.raw")}, QDir::Files, QDir::Name), files, 30000);
        QVERIFY(waitEnd());
        QVERIFY(series::readLog(inFolder(QStringLiteral("series.csv"))).rows.value(0).hits >= 0);
    } else {
        QTRY_COMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].text, warning.replace("%1", QDir::toNativeSeparators(folder())) +
                                         QStringLiteral("\nСерия не запущена."));
    }
    QTest::qWait(20);
    QVERIFY(main && !main->seriesRunning());
    QCOMPARE(boxes.seen.size(), warning.isEmpty() ? 0 : 1);
    QCOMPARE(QDir(folder()).entryList({QStringLiteral("*.raw")}, QDir::Files, QDir::Name), files);
    QVERIFY(g_seriesSettings == kept);
}

void TestSeries::refusedCommands()
{
    QVERIFY(main->startSeries(settings(0, 3600)));
    const QString title = main->seriesWindow()->windowTitle();
    QTRY_VERIFY(main->seriesRun()->status().phase == series::Phase::Pausing &&
                main->seriesRun()->status().saved == 1);
    // The status bar: the records saved, the time since the start.
    QVERIFY(statusBar().startsWith(QStringLiteral("Серия: пауза, сохранено 1 · 0:00:")));
    Ui::MainWindow* ui = main->form();
    const QString later = QStringLiteral("\nКоманда будет доступна после окончания серии."),
                  unit = QStringLiteral("Идёт серия записей: блок оцифровки занят.") + later,
                  window = QStringLiteral("Окно %1 занято серией записей.").arg(title) + later;
    const QList<QPair<QAction*, QString>> refused = {
        {ui->aRunADC, unit},     {ui->aCOM, unit},         {ui->aSeries, unit},    {ui->aSave, window},
        {ui->aZeroSign, window}, {ui->aDirectFFT, window}, {ui->aFindHits, window}};
    for (const auto& [action, text] : refused) {
        BoxAnswerer box;
        action->trigger();
        QCOMPARE(box.seen.value(0).text, text);
        QCOMPARE(box.seen.size(), 1);
    }
    {
        BoxAnswerer box;                     // from the keyboard as well
        QApplication::setActiveWindow(main); // as the window manager does after the acquisition
        QTest::keyClick(main, Qt::Key_F9);
        QCOMPARE(box.seen.size(), 1);
    }
    // The rest of the program is there meanwhile: a saved record opens beside the series.
    const QString first = inFolder(QStringLiteral("rec_00001.raw"));
    QVERIFY(main->openRawPath(first));
    QCOMPARE(main->activeForm()->windowTitle(), QDir::toNativeSeparators(first));
    QCOMPARE(main->seriesRun()->status().saved, 1);
    main->form()->aSeriesStop->trigger();
    QVERIFY(!main->seriesRunning());
    QCOMPARE(main->forms().size(), 2);
    QCOMPARE(series::readLog(inFolder(QStringLiteral("series.csv"))).rows.size(), 1);
    // After the series the commands work again: F9 acquires into the active window.
    QApplication::setActiveWindow(main);
    QTest::keyClick(main, Qt::Key_F9);
    QVERIFY(main->activeForm()->unsavedRecording);
}

void TestSeries::closing_data()
{
    QTest::addColumn<QString>("tag"); // what is closed (the series window or the program), when, the answer
    for (const char* tag :
         {"window in a pause, No", "window in a pause, Yes", "window in an acquisition, Yes",
          "program in a pause, No", "program in an acquisition, Yes"})
        QTest::newRow(tag) << QString(tag);
}

void TestSeries::closing()
{
    QFETCH(QString, tag);
    const bool program = tag.startsWith("program"), acquiring = tag.contains("acq"),
               yes = tag.endsWith("Yes");
    QVERIFY(main->startSeries(settings(0, acquiring ? 0 : 3600)));
    QPointer<TWForm> w = main->seriesWindow();
    BoxAnswerer box(yes ? QMessageBox::Yes : QMessageBox::No);
    bool asked = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        const series::Run* run = main ? main->seriesRun() : nullptr;
        if (asked || !run || run->status().saved < 1 ||
            run->status().phase != (acquiring ? series::Phase::Acquiring : series::Phase::Pausing))
            return;
        asked = true;
        program ? main->close() : w->close();
    });
    poll.start(2);
    QTRY_VERIFY(asked && box.seen.size() == 1);
    QCOMPARE(box.seen[0].text, QStringLiteral("Идёт серия записей в папку %1.\nОстановить серию?")
                                   .arg(QDir::toNativeSeparators(folder())));
    QCOMPARE(box.seen[0].buttonTexts.size(), 2);
    if (!yes) {
        QTest::qWait(20);
        QVERIFY(main->seriesRunning() && w);
        main->form()->aSeriesStop->trigger();
    }
    // Yes: the series stops, then what was closed goes (no question about the part record).
    QTRY_VERIFY(yes ? (program ? main.isNull() : w.isNull()) : !main->seriesRunning());
    QCOMPARE(bool(w), !yes);
    const QList<LogRow> rows = series::readLog(inFolder(QStringLiteral("series.csv"))).rows;
    QCOMPARE(rows.last().status, acquiring ? QStringLiteral("failed: stopped") : QStringLiteral("ok"));
    QCOMPARE(box.seen.size(), 1);
}

void TestSeries::dialog()
{
    Ui::MainWindow* ui = main->form();
    QCOMPARE(ui->aSeries->text(), QStringLiteral("С&ерия записей…")); // beside "Запуск оцифровки"
    QCOMPARE(ui->mSettings->actions().indexOf(ui->aSeries),
             ui->mSettings->actions().indexOf(ui->aRunADC) + 1);
    QCOMPARE(ui->aOpenSeries->text(), QStringLiteral("&Открыть серию…"));
    main->lastDir = folder();
    BoxAnswerer box;
    ModalDriver<TSeriesDlg> driver([&](TSeriesDlg* d) {
        Ui::SeriesDialog* f = d->form();
        QCOMPARE((QStringList{f->folderEdit->text(), f->prefixEdit->text(), f->countEdit->text(),
                              f->pauseEdit->text(), f->prefixExample->text()}),
                 (QStringList{QDir::toNativeSeparators(folder()), "rec", "до остановки", "0 с",
                              "→ rec_00001.raw"}));
        QVERIFY(!f->findHitsCheck->isChecked());
        // From the keyboard (Alt and the letter): a prefix that is no file name is refused and the
        // dialog stays.
        auto alt = [d](char16_t letter) {
            QTest::sendKeyEvent(QTest::Click, d, Qt::Key(QChar(letter).toUpper().unicode()),
                                QString(QChar(letter)), Qt::AltModifier);
        };
        alt(u'н'); // the prefix
        QCOMPARE(d->focusWidget(), f->prefixEdit);
        f->prefixEdit->selectAll();
        QTest::keyClicks(f->prefixEdit, QStringLiteral("kb:"));
        QCOMPARE(f->prefixExample->text(), QStringLiteral("→ недопустимое имя"));
        QTest::keyClick(f->prefixEdit, Qt::Key_Return);
        QCOMPARE(box.seen.size(), 1);
        QVERIFY(d->isVisible() && d->focusWidget() == f->prefixEdit);
        QApplication::setActiveWindow(d); // the window manager's part once the box has gone
        QTest::keyClick(f->prefixEdit, Qt::Key_Backspace);
        alt(u'и');                                  // the hit search
        QTRY_VERIFY(f->findHitsCheck->isChecked()); // a button's mnemonic clicks it as a press would
        alt(u'ч');                                  // the count
        f->countEdit->selectAll();
        QTest::keyClicks(f->countEdit, QStringLiteral("2"));
        f->buttonBox->button(QDialogButtonBox::Ok)->click();
    });
    ui->aSeries->trigger();
    QCOMPARE(driver.handled, 1);
    QVERIFY(main->seriesRunning());
    QVERIFY(waitEnd());
    QCOMPARE(QDir(folder()).entryList({QStringLiteral("*.raw")}),
             (QStringList{"kb_00001.raw", "kb_00002.raw"}));
    const series::Settings& s = g_seriesSettings;
    QCOMPARE((QStringList{s.folder, s.prefix}), (QStringList{folder(), "kb"}));
    QCOMPARE((QList<int>{s.count, s.pauseS, s.findHits}), (QList<int>{2, 0, 1}));
}

void TestSeries::table()
{
    // A log of three rows (one failed), a line that cannot be read, a file the log does not name.
    QDir d(folder());
    auto ramp = [](int ch, int i) { return qint8(i + ch); };
    QVERIFY(writeRecord(d.filePath(QStringLiteral("t_00001.raw")), 2, 100, ramp));
    QVERIFY(writeRecord(d.filePath(QStringLiteral("t_00002.raw")), 3, 200, ramp));
    QVERIFY(writeRecord(d.filePath(QStringLiteral("extra.raw")), 1, 50, ramp));
    QVERIFY(write(d.filePath(QStringLiteral("series.csv")),
                  (Header + "\nt_00001.raw,2026-12-07T10:00:00.005Z,,2,100,0,4,ok\n"
                            ",2026-12-07T10:01:00.000Z,,0,0,0,,failed: channel 2 not read\n"
                            "t_00002.raw,2026-12-07T10:02:30.999Z,,3,200,0,3,ok\ngarbage\n")
                      .toUtf8()));

    ModalDriver<QFileDialog> driver([&](QFileDialog* f) { acceptFileDialog(f, folder()); });
    main->form()->aOpenSeries->trigger();
    auto* t = main->findChild<TSeriesTable*>();
    QVERIFY(t && t->isVisible());
    QCOMPARE(t->windowTitle(), QStringLiteral("Записи серии — ") + QDir::toNativeSeparators(folder()));
    auto* summary = t->findChild<QLabel*>(QStringLiteral("summaryLabel"));
    QCOMPARE(summary->text(),
             QStringLiteral("Журнал series.csv: записей сохранено 2, не сохранено 1. Импульсов "
                            "АЭ: 7. Нечитаемых строк журнала: 1."));
    QAbstractItemModel* m = t->view()->model();
    auto row = [m](int r) {
        QStringList l;
        for (int c = 0; c < m->columnCount(); ++c)
            l << m->index(r, c).data().toString();
        return l;
    };
    auto start = [](const QDateTime& t) { return series::RecordTableModel::startText(t); };
    const QDateTime first(QDate(2026, 12, 7), QTime(10, 0, 0, 5), Qt::UTC);
    QCOMPARE(m->rowCount(), 4);
    QCOMPARE(row(0), (QStringList{"t_00001.raw", first.toLocalTime().toString("yyyy-MM-dd HH:mm:ss.zzz"), "4",
                                  "ok"}));
    QCOMPARE(row(1), (QStringList{"", start(QDateTime(QDate(2026, 12, 7), QTime(10, 1), Qt::UTC)), "",
                                  "failed: channel 2 not read"}));
    QCOMPARE(row(3), (QStringList{"extra.raw", start(QFileInfo(d.filePath("extra.raw")).lastModified()), "",
                                  "(время файла)"}));
    QCOMPARE(m->index(2, 1).data(Qt::ToolTipRole).toString(), QStringLiteral("2026-12-07T10:02:30.999Z"));

    // A double click opens a record; Enter on the failed row opens nothing, on the next it does.
    QTableView* v = t->view();
    QVERIFY(QTest::qWaitForWindowExposed(t));
    const QPoint at = v->visualRect(m->index(0, 0)).center();
    QTest::mouseClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(v->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(main->forms().size(), 1);
    QCOMPARE(main->forms()[0]->windowTitle(),
             QDir::toNativeSeparators(d.filePath(QStringLiteral("t_00001.raw"))));
    v->setCurrentIndex(m->index(1, 0));
    QTest::keyClick(v, Qt::Key_Return);
    QCOMPARE(main->forms().size(), 1);
    v->setCurrentIndex(m->index(2, 0));
    QTest::keyClick(v, Qt::Key_Enter);
    QCOMPARE(main->forms().size(), 2);
    QCOMPARE(main->forms()[1]->record->channelCount(), 3);

    // Without the log: every file by its modification time, oldest first.
    QVERIFY(QFile::remove(d.filePath(QStringLiteral("series.csv"))));
    const QDateTime base = QDateTime::currentDateTimeUtc().addDays(-1);
    const QStringList order = {"t_00002.raw", "extra.raw", "t_00001.raw"};
    for (int k = 0; k < 3; ++k) {
        QFile f(d.filePath(order[k]));
        QVERIFY(f.open(QIODevice::ReadWrite) &&
                f.setFileTime(base.addSecs(60 * k), QFileDevice::FileModificationTime));
    }
    QCOMPARE(main->openSeriesFolder(folder()), t); // the open table, read anew
    QCOMPARE(m->rowCount(), 3);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(row(k), (QStringList{order[k], start(base.addSecs(60 * k)), "", "(время файла)"}));
    QVERIFY(summary->text().startsWith(QStringLiteral("Журнала series.csv нет")));
}

QTEST_MAIN(TestSeries)
#include "tst_series.moc"
