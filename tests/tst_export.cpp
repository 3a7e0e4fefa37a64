// Export of a record for other programs: CSV in each value mode, sample spans and times, WAV
// header and samples, the files that must not be made or replaced, and the main window's export
// commands driven through their dialogs.

#include <QtTest>

#include "boxwatch.h"
#include "export/record_export.h"
#include "fmain.h"
#include "init.h"
#include "ui_MainWindow.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cstdlib>
#include <memory>

using dataexport::Format;
using dataexport::ValueMode;
Q_DECLARE_METATYPE(ValueMode)

namespace {

constexpr int Length = 8;
// Three channels that cover the ends of the code range and both signs.
const qint8 Samples[3][Length] = {
    {-128, -1, 0, 1, 127, 5, -6, 64},
    {10, -20, 30, -40, 50, -60, 70, -80},
    {0, 0, 127, -128, 3, 3, -3, 100},
};
const int Gains[3] = {0, 3, 12};
const int Inputs[3] = {9, 10, 27};

std::unique_ptr<TWaveStor> makeRecord(int clockKHz = 12000, qint32 divider = 4, bool detector = false)
{
    auto r = std::make_unique<TWaveStor>(QRect(0, 0, 400, 300));
    if (!r->init(3, Length))
        return nullptr;
    r->header.clockKHz = quint16(clockKHz);
    r->header.divider = divider;
    for (int ch = 0; ch < 3; ++ch) {
        r->channelHeader(ch)->gainCode = quint16(Gains[ch]);
        r->channelHeader(ch)->input = quint8(Inputs[ch]);
        if (detector)
            r->channel(ch)->setUnipolar();
        for (int i = 0; i < Length; ++i)
            r->channel(ch)->setSample(i, Samples[ch][i]);
    }
    return r;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The CSV as rows of cells, the title row first; the byte order mark is checked and dropped.
QList<QStringList> csvRows(const QByteArray& bytes)
{
    if (!bytes.startsWith("\xEF\xBB\xBF") || !bytes.endsWith('\n'))
        return {};
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(bytes.mid(3).chopped(1)).split(QLatin1Char('\n')))
        rows << line.split(QLatin1Char(','));
    return rows;
}

// The value a processed mode gives sample i of a channel, straight from the mode's definition.
int processedValue(int mode, const qint8* x, int i)
{
    auto at = [x](int k) { return k < 0 || k >= Length ? 0 : int(x[k]); };
    switch (mode) {
    case pmDetect: return x[i] == -128 ? 127 : std::abs(x[i]);
    case pmPower: return x[i] * x[i] / 129;
    case pmSmooth: return (at(i - 1) + at(i) + at(i + 1)) / 3; // half-width 1
    default: return x[i];
    }
}

// A device that keeps only what it is told: the size of each write and the total.
class CountingDevice : public QIODevice
{
public:
    CountingDevice() { open(QIODevice::WriteOnly); }
    qint64 total = 0;
    qint64 largest = 0;
    qint64 lines = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 n) override
    {
        total += n;
        largest = std::max(largest, n);
        lines += std::count(data, data + n, '\n');
        return n;
    }
};

struct WavHeader
{
    QByteArray riff, wave, fmt, data;
    quint32 riffSize = 0, fmtSize = 0, rate = 0, byteRate = 0, dataSize = 0;
    quint16 format = 0, channels = 0, blockAlign = 0, bits = 0;
};

WavHeader parseWav(const QByteArray& bytes)
{
    WavHeader h;
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    auto tag = [&in] {
        QByteArray t(4, 0);
        in.readRawData(t.data(), 4);
        return t;
    };
    h.riff = tag();
    in >> h.riffSize;
    h.wave = tag();
    h.fmt = tag();
    in >> h.fmtSize >> h.format >> h.channels >> h.rate >> h.byteRate >> h.blockAlign >> h.bits;
    h.data = tag();
    in >> h.dataSize;
    return h;
}

// Answers the modal dialogs of an export command as they come: the options dialog, the file
// dialog and any message box (whose texts it keeps).
class ExportDialogs : public QObject
{
public:
    QString path;               // typed into the file dialog; empty: the file dialog is cancelled
    const char* mode = "rbRaw"; // radio buttons ticked in the options dialog
    const char* range = "rbSelection";
    QStringList filters, messages;
    bool selectionOffered = false;
    int optionsShown = 0;

    ExportDialogs()
    {
        connect(&m_timer, &QTimer::timeout, this, &ExportDialogs::poll);
        m_timer.start(10);
    }

private:
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            messages << box->text();
            box->accept();
        } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
            filters = files->nameFilters();
            if (path.isEmpty()) {
                files->reject();
                return;
            }
            files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
            QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection);
        } else if (w->objectName() == QLatin1String("ExportDialog")) {
            ++optionsShown;
            auto* selection = w->findChild<QRadioButton*>(QStringLiteral("rbSelection"));
            selectionOffered = selection->isEnabled();
            w->findChild<QRadioButton*>(QLatin1String(mode))->setChecked(true);
            w->findChild<QRadioButton*>(QLatin1String(range))->setChecked(true);
            w->findChild<QPushButton*>(QStringLiteral("okBtn"))->click();
        } else if (auto* d = qobject_cast<QDialog*>(w)) {
            d->reject(); // nothing else may show
        }
    }
    QTimer m_timer;
};

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void csvValues_data();
    void csvValues();
    void csvSpanAndTimes_data();
    void csvSpanAndTimes();
    void largeCsvInPiecesWithProgress();
    void wavHeaderAndSamples_data();
    void wavHeaderAndSamples();
    void refusedWithoutAFile_data();
    void refusedWithoutAFile();
    void existingFileKeptUnlessReplacing();
    void commandsOnTheMainWindow();

private:
    QTemporaryDir dir;
};

void TestExport::init()
{
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(dir.filePath(name));
}

void TestExport::csvValues_data()
{
    QTest::addColumn<ValueMode>("mode");
    QTest::addColumn<bool>("detector");
    QTest::addColumn<int>("procMode");
    QTest::newRow("raw") << ValueMode::Raw << false << 0;
    QTest::newRow("raw ignores the mode") << ValueMode::Raw << false << int(pmDetect);
    QTest::newRow("volts") << ValueMode::Volts << false << 0;
    QTest::newRow("volts, detector") << ValueMode::Volts << true << 0;
    QTest::newRow("processed, detection") << ValueMode::Processed << false << int(pmDetect);
    QTest::newRow("processed, square") << ValueMode::Processed << false << int(pmPower);
    QTest::newRow("processed, smoothing") << ValueMode::Processed << false << int(pmSmooth);
}

void TestExport::csvValues()
{
    QFETCH(ValueMode, mode);
    QFETCH(bool, detector);
    QFETCH(int, procMode);
    auto r = makeRecord(12000, 4, detector);
    r->setFilter(procMode, 1);
    const QString path = dir.filePath(QStringLiteral("values.csv"));
    dataexport::Request request;
    request.mode = mode;
    QCOMPARE(dataexport::exportRecord(Format::Csv, path, *r, request), 0);
    const QList<QStringList> rows = csvRows(fileBytes(path));
    QCOMPARE(rows.size(), Length + 1);
    QCOMPARE(rows[0], (QStringList{"Время (мкс)", "Вход 9", "Вход 10", "Вход 27"}));
    for (int i = 0; i < Length; ++i) {
        QCOMPARE(rows[i + 1].size(), 4);
        for (int ch = 0; ch < 3; ++ch) {
            const qint8 s = Samples[ch][i];
            const QString cell = rows[i + 1][ch + 1];
            // One unit is 5 V / 256 at gain code 0, halved per step; a detector channel reads
            // from the bottom of its scale in half units.
            const double scale = 1.0 / 256 / double(1 << Gains[ch]);
            double expected = s;
            if (mode == ValueMode::Volts)
                expected = detector ? 2.5 * (s + 128) * scale : 5.0 * s * scale;
            else if (mode == ValueMode::Processed)
                expected = processedValue(procMode, Samples[ch], i);
            bool ok = false;
            QVERIFY2(cell.toDouble(&ok) == expected && ok,
                     qPrintable(QStringLiteral("row %1 channel %2: %3, expected %4")
                                    .arg(i)
                                    .arg(ch)
                                    .arg(cell)
                                    .arg(expected, 0, 'g', 17)));
            QVERIFY(!cell.contains(QLatin1Char('e')) && !cell.contains(QLatin1Char(' ')));
        }
    }
}

void TestExport::csvSpanAndTimes_data()
{
    QTest::addColumn<int>("clockKHz");
    QTest::addColumn<int>("divider");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("times");
    const QStringList none(Length, QString());
    QTest::newRow("whole, 1/3 us") << 12000 << 4 << 0 << -1
                                   << QStringList{"0",        "0.333333", "0.666667", "1",
                                                  "1.333333", "1.666667", "2",        "2.333333"};
    QTest::newRow("selection keeps the record's time")
        << 12000 << 4 << 2 << 3 << QStringList{"0.666667", "1", "1.333333"};
    QTest::newRow("0.2 us") << 10000 << 2 << 5 << -1 << QStringList{"1", "1.2", "1.4"};
    QTest::newRow("fastest clock") << 65535 << 1 << 6 << 2 << QStringList{"0.091554", "0.106813"};
    QTest::newRow("slow, long periods") << 1 << 2000000 << 7 << 1 << QStringList{"14000000000"};
    QTest::newRow("span past the end") << 12000 << 4 << 6 << 100 << QStringList{"2", "2.333333"};
    QTest::newRow("single sample") << 12000 << 4 << 7 << 1 << QStringList{"2.333333"};
    QTest::newRow("clock 0") << 0 << 4 << 0 << -1 << none;
    QTest::newRow("divider 0") << 12000 << 0 << 0 << -1 << none;
    QTest::newRow("negative divider") << 12000 << -4 << 0 << -1 << none;
}

void TestExport::csvSpanAndTimes()
{
    QFETCH(int, clockKHz);
    QFETCH(int, divider);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QStringList, times);
    auto r = makeRecord(clockKHz, divider);
    const QString path = dir.filePath(QStringLiteral("span.csv"));
    dataexport::Request request;
    request.mode = ValueMode::Raw;
    request.start = start;
    request.count = count;
    QCOMPARE(dataexport::exportRecord(Format::Csv, path, *r, request), 0);
    const QList<QStringList> rows = csvRows(fileBytes(path));
    QCOMPARE(rows.size(), times.size() + 1);
    for (int k = 0; k < times.size(); ++k) {
        QCOMPARE(rows[k + 1].value(0), times[k]);
        for (int ch = 0; ch < 3; ++ch)
            QCOMPARE(rows[k + 1].value(ch + 1).toInt(), int(Samples[ch][start + k]));
    }
}

void TestExport::largeCsvInPiecesWithProgress()
{
    TWaveStor r;
    QVERIFY(r.init(MaxChannels, MaxSamples));
    for (int ch = 0; ch < MaxChannels; ++ch)
        for (int i = 0; i < MaxSamples; ++i)
            r.channel(ch)->setSample(i, qint8(i * (ch + 1)));
    QList<qint64> calls;
    dataexport::Request request; // volts
    request.progress = [&calls](qint64 done, qint64 total) {
        calls << done;
        return total == MaxSamples;
    };
    CountingDevice out;
    QCOMPARE(dataexport::writeCsv(out, r, request), 0);
    // Several megabytes, handed over in small pieces: never held whole.
    QVERIFY(out.total > 4'000'000);
    QVERIFY2(out.largest <= 128 * 1024, qPrintable(QString::number(out.largest)));
    QCOMPARE(out.lines, qint64(MaxSamples + 1));
    QVERIFY(calls.size() >= 10);
    QCOMPARE(calls.last(), qint64(MaxSamples));
    QVERIFY(std::is_sorted(calls.begin(), calls.end()) && calls.first() > 0);

    // Stopped on the third call: nothing left behind, neither the file nor a temporary one.
    int left = 3;
    request.progress = [&left](qint64, qint64) { return --left > 0; };
    QCOMPARE(dataexport::exportRecord(Format::Csv, dir.filePath(QStringLiteral("big.csv")), r, request),
             int(dataexport::ExportCancelled));
    QCOMPARE(left, 0);
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestExport::wavHeaderAndSamples_data()
{
    QTest::addColumn<int>("clockKHz");
    QTest::addColumn<int>("divider");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<quint32>("rate");
    QTest::newRow("3 MHz, odd data size") << 12000 << 4 << 0 << 7 << quint32(3000000);
    QTest::newRow("5 MHz, whole") << 10000 << 2 << 0 << -1 << quint32(5000000);
    QTest::newRow("rate rounded") << 12000 << 7 << 3 << 4 << quint32(1714286);
    QTest::newRow("fastest clock") << 65535 << 1 << 1 << 5 << quint32(65535000);
    QTest::newRow("slowest whole rate") << 1 << 1999 << 0 << -1 << quint32(1);
}

void TestExport::wavHeaderAndSamples()
{
    QFETCH(int, clockKHz);
    QFETCH(int, divider);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(quint32, rate);
    auto r = makeRecord(clockKHz, divider, true); // the detector changes nothing in a WAV
    const QString path = dir.filePath(QStringLiteral("sound.wav"));
    dataexport::Request request;
    request.start = start;
    request.count = count;
    QCOMPARE(dataexport::exportRecord(Format::Wav, path, *r, request), 0);
    const QByteArray bytes = fileBytes(path);
    const int frames = count < 0 ? Length - start : count;
    const quint32 dataSize = quint32(3 * frames);
    const quint32 pad = dataSize % 2;
    const WavHeader h = parseWav(bytes);
    QCOMPARE(h.riff, QByteArray("RIFF"));
    QCOMPARE(h.wave, QByteArray("WAVE"));
    QCOMPARE(h.fmt, QByteArray("fmt "));
    QCOMPARE(h.data, QByteArray("data"));
    QCOMPARE(h.fmtSize, 16u);
    QCOMPARE(h.format, quint16(1));
    QCOMPARE(h.channels, quint16(3));
    QCOMPARE(h.rate, rate);
    QCOMPARE(h.byteRate, rate * 3);
    QCOMPARE(h.blockAlign, quint16(3));
    QCOMPARE(h.bits, quint16(8));
    QCOMPARE(h.dataSize, dataSize);
    QCOMPARE(h.riffSize, 36 + dataSize + pad);
    QCOMPARE(bytes.size(), qsizetype(44 + dataSize + pad));
    for (int k = 0; k < frames; ++k)
        for (int ch = 0; ch < 3; ++ch)
            QCOMPARE(quint8(bytes[44 + 3 * k + ch]), quint8(Samples[ch][start + k] + 128));
    if (pad)
        QCOMPARE(bytes.back(), '\0');
}

void TestExport::refusedWithoutAFile_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("clockKHz");
    QTest::addColumn<int>("divider");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("result");
    const int noRate = dataexport::ExportNoRate;
    const int csv = int(Format::Csv), wav = int(Format::Wav);
    QTest::newRow("wav, clock 0") << wav << 0 << 4 << Length << 0 << noRate;
    QTest::newRow("wav, divider 0") << wav << 12000 << 0 << Length << 0 << noRate;
    QTest::newRow("wav, negative divider") << wav << 12000 << -4 << Length << 0 << noRate;
    QTest::newRow("wav, below 1 Hz") << wav << 1 << 2147483647 << Length << 0 << noRate;
    QTest::newRow("csv, no samples") << csv << 12000 << 4 << 0 << 0 << int(RawWriteFailed);
    QTest::newRow("wav, no samples") << wav << 12000 << 4 << 0 << 0 << int(RawWriteFailed);
    QTest::newRow("csv, span beyond the record")
        << csv << 12000 << 4 << Length << Length << int(RawWriteFailed);
}

void TestExport::refusedWithoutAFile()
{
    QFETCH(int, format);
    QFETCH(int, clockKHz);
    QFETCH(int, divider);
    QFETCH(int, length);
    QFETCH(int, start);
    auto r = makeRecord(clockKHz, divider);
    if (length == 0)
        QVERIFY(r->init(3, 0));
    dataexport::Request request;
    request.start = start;
    QTEST(dataexport::exportRecord(Format(format), dir.filePath(QStringLiteral("refused")), *r, request),
          "result");
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestExport::existingFileKeptUnlessReplacing()
{
    auto r = makeRecord();
    const QString path = dir.filePath(QStringLiteral("kept.csv"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\n") == 4);
    old.close();
    dataexport::Request request;
    request.replace = false;
    for (Format f : {Format::Csv, Format::Wav})
        QCOMPARE(dataexport::exportRecord(f, path, *r, request), int(RawWriteNotReplaced));
    QCOMPARE(fileBytes(path), QByteArray("old\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.csv"});
    // A new name is written all the same; replacing is the default.
    QCOMPARE(dataexport::exportRecord(Format::Csv, dir.filePath(QStringLiteral("new.csv")), *r, request), 0);
    QCOMPARE(dataexport::exportRecord(Format::Csv, path, *r, {}), 0);
    QCOMPARE(fileBytes(path), fileBytes(dir.filePath(QStringLiteral("new.csv"))));
}

void TestExport::commandsOnTheMainWindow()
{
    static QTemporaryDir appDir; // no settings file is read
    g_appDir = appDir.path();
    QVERIFY(velkit::vlkInit(umisc::programHooks()) == 0);
    StringsKit::instance().fill();
    initProgramResources();
    QApplication::setQuitOnLastWindowClosed(false);
    auto main = std::make_unique<MainWnd>();
    g_mainWnd = main.get();
    QVERIFY(main->setupWindow());
    main->show();
    Ui::MainWindow* ui = main->form();
    QCOMPARE(ui->aExportCsv->text(), QStringLiteral("&Экспорт в CSV…"));
    QVERIFY(ui->aExportCsv->shortcut().isEmpty());
    QVERIFY(!ui->aExportCsv->isEnabled() && !ui->aExportWav->isEnabled());

    auto r = makeRecord();
    QVERIFY(r->writeFile(dir.filePath(QStringLiteral("rec.raw"))) == 0);
    TWForm* w = main->openRawPath(dir.filePath(QStringLiteral("rec.raw")));
    QVERIFY(w);
    QVERIFY(ui->aExportCsv->isEnabled() && ui->aExportWav->isEnabled());
    w->selStart = 6; // backwards, and one past the last sample
    w->selEnd = 2;
    {
        ExportDialogs answers;
        answers.path = dir.filePath(QStringLiteral("part"));
        ui->aExportCsv->trigger();
        QCOMPARE(answers.filters, QStringList{"CSV (*.csv)"});
        QVERIFY(answers.selectionOffered && answers.messages.isEmpty());
    }
    QList<QStringList> rows = csvRows(fileBytes(dir.filePath(QStringLiteral("part.csv"))));
    QCOMPARE(rows.size(), 1 + 5);
    QCOMPARE(rows[1], (QStringList{"0.666667", "0", "30", "127"}));
    QCOMPARE(rows[5], (QStringList{"2", "-6", "70", "-3"}));
    QCOMPARE(main->lastDir, QDir::toNativeSeparators(dir.path()));

    // WAV, whole record: a name with the suffix keeps it; the options come back as chosen.
    {
        ExportDialogs answers;
        answers.range = "rbWhole";
        answers.path = dir.filePath(QStringLiteral("all.wav"));
        ui->aExportWav->trigger();
        QCOMPARE(answers.filters, QStringList{"WAV (*.wav)"});
        QCOMPARE(answers.optionsShown, 1);
    }
    QCOMPARE(parseWav(fileBytes(dir.filePath(QStringLiteral("all.wav")))).dataSize, quint32(3 * Length));

    // A write that fails warns with the result and leaves lastDir; a cancelled file dialog
    // writes nothing.
    main->lastDir = QStringLiteral("/kept");
    {
        ExportDialogs answers;
        QCOMPARE(main->exportPath(dir.filePath(QStringLiteral("missing/x")), Format::Csv, {}), -1);
        QTRY_COMPARE(answers.messages, QStringList{"Ошибка записи файла -1"});
    }
    {
        ExportDialogs answers;
        ui->aExportCsv->trigger();
        QCOMPARE(answers.optionsShown, 1);
    }
    QCOMPARE(main->lastDir, QStringLiteral("/kept"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);

    // A record without a sampling rate: told before any dialog, no WAV.
    w->record->header.divider = 0;
    {
        ExportDialogs answers;
        answers.path = dir.filePath(QStringLiteral("norate"));
        ui->aExportWav->trigger();
        QTRY_COMPARE(answers.messages.size(), 1);
        QCOMPARE(answers.messages[0], StringsKit::instance().warnText(StringsKit::WarnNoSamplingRate));
        QCOMPARE(answers.optionsShown, 0);
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("norate.wav"))));
    // A spectrum has nothing to export.
    w->isSpectrum = true;
    main->refreshActions();
    QVERIFY(!ui->aExportCsv->isEnabled() && !ui->aExportWav->isEnabled());
    w->isSpectrum = false;
    qDeleteAll(main->forms());
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
