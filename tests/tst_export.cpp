// Export of a record for other programs: the exact CSV text in each value mode, spans and times,
// exports refused, kept from replacing or cancelled, the WAV header read back by the test's own
// parser, and the main window's commands driven through their dialogs.

#include <QtTest>

#include "boxwatch.h"
#include "export/record_export.h"
#include "ui_MainWindow.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QPushButton>
#include <QRadioButton>
#include <QtEndian>

using dataexport::Format;
using dataexport::Request;
using dataexport::ValueMode;

namespace {

// Three channels covering both ends of the code range; gain codes 0, 3 and 12.
const qint8 Samples[3][4] = {{-128, -1, 1, 127}, {10, -20, 30, -40}, {0, 127, -128, 3}};
const int Gains[3] = {0, 3, 12}, Inputs[3] = {9, 10, 27};

struct Setup
{
    int clockKHz = 12000;
    qint32 divider = 4; // with the clock: 1/3 us per sample
    bool detector = false;
    int procMode = pmNone;
    int length = 4;
};

std::unique_ptr<TWaveStor> makeRecord(const Setup& s)
{
    auto r = std::make_unique<TWaveStor>(QRect(0, 0, 400, 300));
    if (!r->init(3, s.length))
        return nullptr;
    r->header.clockKHz = quint16(s.clockKHz);
    r->header.divider = s.divider;
    r->setFilter(s.procMode, 1);
    for (int ch = 0; ch < 3; ++ch) {
        r->channelHeader(ch)->gainCode = quint16(Gains[ch]);
        r->channelHeader(ch)->input = quint8(Inputs[ch]);
        if (s.detector)
            r->channel(ch)->setUnipolar();
        for (int i = 0; i < s.length; ++i)
            r->channel(ch)->setSample(i, Samples[ch][i]);
    }
    return r;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The byte order mark and the title row every CSV starts with.
const QByteArray CsvHead = "\xEF\xBB\xBF"
                           "Время (мкс),Вход 9,Вход 10,Вход 27\n";

} // namespace

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Request)
Q_DECLARE_METATYPE(Format)

class TestExport : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void exported_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<Request>("request"); // value mode, first sample, count (-1: to the end)
        QTest::addColumn<int>("existing");    // a file "old" there before: 0 none, 1 kept, 2 replaced
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("rows"); // CSV: after the title row; WAV: the sound
        const Format csv = Format::Csv, wav = Format::Wav;
        // Volts: 5 V x code / 2^(8 + gain); a detector channel 2.5 V x (code + 128) / 2^(8 + gain).
        QTest::newRow("raw, 1/3 us")
            << csv << Setup{12000, 4, false, pmDetect} << Request{ValueMode::Raw} << 0 << 0
            << QByteArray("0,-128,10,0\n0.333333,-1,-20,127\n0.666667,1,30,-128\n1,127,-40,3\n");
        QTest::newRow("volts") << csv << Setup{} << Request{ValueMode::Volts} << 0 << 0
                               << QByteArray("0,-2.5,0.0244140625,0\n"
                                             "0.333333,-0.01953125,-0.048828125,0.0006055831909179688\n"
                                             "0.666667,0.01953125,0.0732421875,-0.0006103515625\n"
                                             "1,2.48046875,-0.09765625,0.00001430511474609375\n");
        QTest::newRow("volts, detector")
            << csv << Setup{12000, 4, true} << Request{ValueMode::Volts} << 0 << 0
            << QByteArray("0,0,0.16845703125,0.00030517578125\n"
                          "0.333333,1.240234375,0.1318359375,0.0006079673767089844\n"
                          "0.666667,1.259765625,0.19287109375,0\n"
                          "1,2.490234375,0.107421875,0.0003123283386230469\n");
        // Window of three, zeros outside the record, the sum divided by 3 towards zero.
        QTest::newRow("processed, smoothing")
            << csv << Setup{12000, 4, false, pmSmooth} << Request{ValueMode::Processed} << 0 << 0
            << QByteArray("0,-43,-3,42\n0.333333,-42,6,0\n0.666667,42,-10,0\n1,42,-3,-41\n");
        QTest::newRow("selection cut at the end, 50 us")
            << csv << Setup{12000, 600} << Request{ValueMode::Raw, 2, 9} << 0 << 0
            << QByteArray("100,1,30,-128\n150,127,-40,3\n");
        QTest::newRow("divider 0: no times")
            << csv << Setup{12000, 0} << Request{ValueMode::Raw, 3} << 0 << 0 << QByteArray(",127,-40,3\n");
        QTest::newRow("clock 0: no times")
            << csv << Setup{0, 4} << Request{ValueMode::Raw, 3} << 2 << 0 << QByteArray(",127,-40,3\n");
        // WAV: the codes + 128, channel after channel (a detector changes nothing).
        QTest::newRow("wav, odd size") << wav << Setup{12000, 4, true} << Request{ValueMode::Raw, 1, 3} << 0
                                       << 0 << QByteArray::fromHex("7f6cff819e00ff5883");
        QTest::newRow("wav, rate rounded") << wav << Setup{12000, 7} << Request{} << 0 << 0
                                           << QByteArray::fromHex("008a807f6cff819e00ff5883");
        // Refused: no file is made, nothing is replaced, no temporary file is left.
        const Request keep{ValueMode::Raw, 0, -1, {}, false};
        const Request stop{ValueMode::Raw, 0, -1, [](qint64, qint64) { return false; }};
        QTest::newRow("existing file kept")
            << csv << Setup{} << keep << 1 << int(RawWriteNotReplaced) << QByteArray();
        QTest::newRow("cancelled") << csv << Setup{} << stop << 0 << int(dataexport::ExportCancelled)
                                   << QByteArray();
        QTest::newRow("no samples") << csv << Setup{12000, 4, false, 0, 0} << Request{} << 0
                                    << int(RawWriteFailed) << QByteArray();
        const int noRate = dataexport::ExportNoRate;
        QTest::newRow("wav, divider 0") << wav << Setup{12000, 0} << Request{} << 0 << noRate << QByteArray();
        QTest::newRow("wav, below 0.5 Hz")
            << wav << Setup{1, 2147483647} << Request{} << 0 << noRate << QByteArray();
    }

    void exported()
    {
        QFETCH(Format, format);
        QFETCH(Setup, setup);
        QFETCH(Request, request);
        QFETCH(int, existing);
        QFETCH(int, result);
        QFETCH(QByteArray, rows);
        QTemporaryDir here;
        const QString path = here.filePath(QStringLiteral("out"));
        QFile old(path);
        QVERIFY(!existing || (old.open(QIODevice::WriteOnly) && old.write("old") == 3));
        old.close();
        QCOMPARE(dataexport::exportRecord(format, path, *makeRecord(setup), request), result);
        QCOMPARE(QDir(here.path()).entryList(QDir::Files | QDir::Hidden).size(),
                 existing || result == 0 ? 1 : 0);
        const QByteArray b = fileBytes(path);
        if (result != 0 || format == Format::Csv) {
            QCOMPARE(b, result ? QByteArray(existing ? "old" : "") : CsvHead + rows);
            return;
        }
        // The header as a WAV reader takes it.
        auto u32 = [&b](int at) { return qFromLittleEndian<quint32>(b.constData() + at); };
        auto u16 = [&b](int at) { return qFromLittleEndian<quint16>(b.constData() + at); };
        const quint32 data = quint32(rows.size()), pad = data % 2;
        const auto rate = quint32(std::lround(1000.0 * setup.clockKHz / setup.divider));
        QCOMPARE(b.left(4) + b.mid(8, 8) + b.mid(36, 4), QByteArray("RIFFWAVEfmt data"));
        // RIFF size, fmt size, PCM, channels, rate, bytes per second, block align, bits, data size.
        QCOMPARE(
            (QList<quint32>{u32(4), u32(16), u16(20), u16(22), u32(24), u32(28), u16(32), u16(34), u32(40)}),
            (QList<quint32>{36 + data + pad, 16, 1, 3, rate, 3 * rate, 3, 8, data}));
        QCOMPARE(b.mid(44), rows + QByteArray(int(pad), '\0'));
    }

    void menuCommands()
    {
        startLibrary();
        std::unique_ptr<MainWnd> main(makeMainWindow(QSize(900, 700)));
        QVERIFY(main);
        Ui::MainWindow* ui = main->form();
        QCOMPARE(makeRecord({})->writeFile(dir.filePath(QStringLiteral("rec.raw"))), 0);
        TWForm* w = main->openRawPath(dir.filePath(QStringLiteral("rec.raw")));
        QVERIFY(w && ui->aExportCsv->isEnabled() && ui->aExportWav->isEnabled());
        w->selStart = 9; // backwards and past the end: samples 2 and 3
        w->selEnd = 2;
        // Each command: raw codes of the selection in its options dialog, then the file dialog
        // given a name without the suffix.
        QStringList filters;
        for (QAction* command : {ui->aExportCsv, ui->aExportWav}) {
            ModalDriver<QDialog> options([](QDialog* d) {
                d->findChild<QRadioButton*>(QStringLiteral("rbRaw"))->setChecked(true);
                d->findChild<QRadioButton*>(QStringLiteral("rbSelection"))->setChecked(true);
                d->findChild<QPushButton*>(QStringLiteral("okBtn"))->click();
            });
            ModalDriver<QFileDialog> file([&](QFileDialog* d) {
                filters << d->nameFilters();
                acceptFileDialog(d, dir.filePath(QStringLiteral("part")));
            });
            command->trigger();
            QCOMPARE(file.handled, 1);
        }
        QCOMPARE(filters, (QStringList{"CSV (*.csv)", "WAV (*.wav)"}));
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("part.csv"))),
                 CsvHead + "0.666667,1,30,-128\n1,127,-40,3\n");
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("part.wav"))).mid(44),
                 QByteArray::fromHex("819e00ff5883"));
        // A record without a rate is told before any dialog (an unexpected one fails the test).
        w->record->header.divider = 0;
        BoxAnswerer box;
        ui->aExportWav->trigger();
        QTRY_COMPARE(box.seen.size(), 1);
        QCOMPARE(box.seen[0].text, StringsKit::instance().warnText(StringsKit::WarnNoSamplingRate));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
