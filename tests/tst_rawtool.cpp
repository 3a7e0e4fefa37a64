// rawtool on real files: a header block, the reasons of damaged files, batch conversion with a
// damaged file among good ones, outputs never replaced without --force, and the exit statuses.

#include <QtTest>

#include "wave_stor.h"

#include <QProcess>

namespace {

const QString Fixtures = QStringLiteral(TAVREL_FIXTURES "/raw/");

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Case
{
    const char* name;
    const char* args; // "@": the folder the inputs are copied to (see convert()); "%": the fixtures
    const char* mine; // outputs made by the user before the run
    int status;
    const char* made; // outputs the run wrote, sorted
    const char* said; // in the error output then the standard output, or "=" and a.csv's 3rd line
};

const Case Cases[] = {
    // info goes on past a damaged file, whose reason it names.
    {"info", "info %two-channels-detector.raw", "", 0, "",
     "file: %two-channels-detector.raw\nversion: 1.20\nchannels: 2\nsamples: 300\nrate: 5000000\n"
     "inputs: 1 2\ngains: 1 2\ndetector: on\nsync: internal\nmode: 3\n"},
    {"info, 7 bytes", "info %cut-7-bytes.raw %one-channel.raw", "", 1, "",
     "%cut-7-bytes.raw: file too short (less than 8 bytes)\nfile: %one-channel.raw\n"},
    {"info, wrong magic", "info %wrong-magic.raw", "", 1, "",
     "%wrong-magic.raw: wrong magic: not a raw record\n"},
    {"info, six channels", "info %six-channels.raw", "", 1, "", "%six-channels.raw: 6 channels, at most 5\n"},
    {"info, samples", "info %samples-163841.raw", "", 1, "",
     "%samples-163841.raw: 163841 samples per channel, at most 163840\n"},
    {"info, cut samples", "info %cut-last-samples.raw", "", 1, "",
     "%cut-last-samples.raw: channel data cut short, or a channel cannot be made\n"},
    {"info, missing", "info %none.raw", "", 1, "",
     "%none.raw: no such file, or its first 8 bytes cannot be read\n"},
    {"csv, one damaged", "csv --raw -o @out @a.raw @bad.raw @b.raw", "", 1, "out/a.csv out/b.csv",
     "@bad.raw: channel data cut short"},
    {"raw codes", "csv --raw @a.raw", "", 0, "a.csv", "=0.2,37"},
    {"volts", "csv @a.raw", "", 0, "a.csv", "=0.2,0.72265625"},
    {"kept without --force", "csv -o @out @a.raw @b.raw", "out/a.csv", 1, "out/b.csv",
     "@out/a.csv exists; --force replaces it"},
    {"--force", "csv --force -o @out @a.raw", "out/a.csv", 0, "out/a.csv", ""},
    {"wav kept", "wav @b.raw", "b.wav", 1, "", "b.wav exists"},
    {"wav, no rate", "wav @b.raw @norate.raw", "", 1, "b.wav", "@norate.raw: no sampling rate"},
    {"one name twice", "csv -o @out @a.raw @sub/a.raw", "", 1, "out/a.csv", "was written for another file"},
    // a.raw at 0.05 V (|code| >= 3), worked out by hand from its 40 samples: arrival at sample 1,
    // peak 123 at sample 24, last crossing at 39, six rising crossings of +3, four up to the peak.
    // RA 4.6 µs / 2.40234375 V; 39 samples padded to 64 at 5 MHz, the largest bin 9.
    {"hits", "hits --threshold 0.05 @a.raw", "", 0, "",
     "file,channel,arrival_us,peak_v,peak_db,rise_us,duration_us,counts,counts_to_peak,energy_v2s,avg_freq_"
     "khz,ra_ms_per_v,peak_freq_khz,centroid_khz,time_utc\n"
     "@a.raw,1,0.200,2.40234375,127.61,4.600,7.600,6,4,1.695526123046875e-05,789.474,0.0019148,703.125,"},
    // At 2.45 V a.raw (peak 2.40 V) and b.raw's channel 2 (1.25 V) have no hits; b.raw's channel 1
    // one, from 4.8 to 58.6 µs, peak 127 on the envelope (the energy of its row in "hits").
    {"summary", "hits --summary --threshold 2.45 @a.raw @b.raw", "", 0, "",
     "file,channel,hits,energy_v2s,peak_db_max,b_value\n@a.raw,1,0,,,\n"
     "@b.raw,1,1,0.00011294012069702148,127.92,\n@b.raw,2,0,,,\n"},
    {"hits, one damaged", "hits @bad.raw @a.raw", "", 1, "", "@bad.raw: channel data cut short"},
    {"hits, threshold 0", "hits --threshold 0 @a.raw", "", 2, "", "a number of volts above 0"},
    // plane.raw: one burst on channels 3, 1, 2 at 1100, 1120, 1200 µs, from (0, 0) 0.5, 0.6 and 1 m
    // away at 5000 m/s. line.raw: sensors at 0 and 1 m; a burst from 0.3 m (1060 and 1140 µs),
    // then one beyond the second sensor (5300 and 5000 µs: 1.5 m of path for a 1 m gap, joined by
    // an event window of 400 µs).
    {"locate, plane",
     "locate --sensor 3:0.3,0.4 --sensor 1:0,-0.6 --sensor 2:0.8,-0.6 --velocity 5000 @plane.raw", "", 0, "",
     "file,event,time_us,x_m,y_m,residual_m,channels\n@plane.raw,1,1100.000,0.0000,0.0000,0.0000,3 1 2\n"},
    {"locate, line",
     "locate @line.raw --sensor 1:0 --sensor=2:1 --velocity 5e3 --pick threshold --event-window 400", "", 0,
     "",
     "file,event,time_us,x_m,y_m,residual_m,channels\n@line.raw,1,1060.000,0.3000,,0.0000,1 2\n"
     "@line.raw,2,5000.000,1.0000,,0.5000,2 1\n"},
    {"locate, a channel lacking",
     "locate @line.raw @plane.raw --sensor 1:0,0 --sensor 2:1,0 --sensor 3:0,1 --velocity 5000", "", 1, "",
     "@line.raw: no channel 3 (the record has 2)\nfile,event,"},
    {"locate, no rate", "locate @norate.raw --sensor 1:0 --sensor 2:1 --velocity 5000", "", 1, "",
     "@norate.raw: no sampling rate"},
    {"locate, no velocity", "locate @line.raw --sensor 1:0 --sensor 2:1", "", 2, "",
     "--velocity M_PER_S is required"},
    {"locate, velocity 0", "locate @line.raw --sensor 1:0 --sensor 2:1 --velocity 0", "", 2, "",
     "--velocity 0: a speed"},
    {"locate, velocity nan", "locate @line.raw --sensor 1:0 --sensor 2:1 --velocity nan", "", 2, "",
     "--velocity nan: a speed"},
    {"locate, one sensor", "locate @line.raw --sensor 1:0 --velocity 5000", "", 2, "",
     "at least two --sensor"},
    {"locate, channel twice", "locate @line.raw --sensor 2:0 --sensor 2:1 --velocity 5000", "", 2, "",
     "channel 2 is named twice"},
    {"locate, 1-D and 2-D", "locate @line.raw --sensor 1:0 --sensor 2:1,0 --velocity 5000", "", 2, "",
     "one coordinate (a line) or every one two"},
    {"locate, coincident", "locate @line.raw --sensor 1:0.5 --sensor 2:0.5 --velocity 5000", "", 2, "",
     "channels 1 and 2 stand in one place"},
    {"help", "--help", "", 0, "", "csv FILE… [--volts|--raw|--processed] [-o DIR] [--force]"},
    // A wrong command line does nothing: status 2.
    {"unknown command", "hit @a.raw", "", 2, "", "unknown command 'hit'"},
    {"two modes", "csv --raw --volts @a.raw", "", 2, "", "choose one of"},
    {"unknown option", "wav --raw @a.raw", "", 2, "", "wav has no option --raw"},
    {"no such folder", "wav -o @none @b.raw", "", 2, "", "no such folder"},
};

} // namespace

class TestRawTool : public QObject
{
    Q_OBJECT

private slots:
    void convert_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(Cases)); ++i)
            QTest::newRow(Cases[i].name) << i;
    }

    // time_utc from the series.csv beside the files: its start_utc + the arrival (3.4 µs at 2.3 V,
    // rounded to 3 µs); empty for a file the log does not name, or names on a line whose time
    // cannot be read, and for a file without a log.
    void timeFromSeriesLog()
    {
        QTemporaryDir dir;
        const QString at = dir.path() + '/';
        QVERIFY(QDir(at).mkpath(QStringLiteral("other")));
        for (const char* name : {"rec_00001.raw", "rec_00002.raw", "rec_00003.raw", "other/rec_00001.raw"})
            QVERIFY(QFile::copy(Fixtures + "one-channel.raw", at + name));
        QFile log(at + "series.csv");
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("file,start_utc,end_utc,channels,samples,rate_hz,hits,status\n"
                  "rec_00001.raw,2026-12-07T10:15:02.347Z,2026-12-07T10:15:02.400Z,1,40,5000000,1,ok\n"
                  ",2026-12-07T10:15:03.000Z,,0,0,0,,failed: no answer to the parameters\n"
                  "rec_00003.raw,2026-12-07 10:15:04,2026-12-07T10:15:04.100Z,1,40,5000000,1,ok\n");
        log.close();
        QProcess tool;
        tool.start(QStringLiteral(TAVREL_BIN_DIR "/rawtool"),
                   {QStringLiteral("hits"), QStringLiteral("--threshold"), QStringLiteral("2.3"),
                    at + "rec_00001.raw", at + "rec_00002.raw", at + "rec_00003.raw",
                    at + "other/rec_00001.raw"});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QStringList times;
        for (const QString& line :
             QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
            times << line.section(',', 14);
        QCOMPARE(times, (QStringList{"time_utc", "2026-12-07T10:15:02.347003Z", "", "", ""}));
    }

    // Inputs: a.raw (one channel, 5 MHz), b.raw (two channels), sub/a.raw (a copy of b.raw),
    // bad.raw (cut short), norate.raw (divider 0).
    void convert()
    {
        QFETCH(int, row);
        const Case& c = Cases[row];
        const QString mine = QString::fromUtf8(c.mine);
        QTemporaryDir dir;
        const QString at = dir.path() + '/';
        QVERIFY(QDir(at).mkpath(QStringLiteral("out")) && QDir(at).mkpath(QStringLiteral("sub")));
        for (const auto& [from, to] : {std::pair{"one-channel.raw", "a.raw"},
                                       {"two-channels-detector.raw", "b.raw"},
                                       {"two-channels-detector.raw", "sub/a.raw"},
                                       {"cut-last-samples.raw", "bad.raw"},
                                       {"hostile-narrow.raw", "norate.raw"}})
            QVERIFY(QFile::copy(Fixtures + from, at + to));
        // Sharp bursts (±60 from their first sample on) over silence at 1 µs a sample.
        for (const auto& [name, onsets] : {std::pair{"plane.raw", QList<QList<int>>{{1120}, {1200}, {1100}}},
                                           {"line.raw", QList<QList<int>>{{1060, 5300}, {1140, 5000}}}}) {
            TWaveStor r;
            QVERIFY(r.init(int(onsets.size()), 8000));
            r.header.clockKHz = 12000;
            r.header.divider = 12;
            for (int ch = 0; ch < int(onsets.size()); ++ch) {
                for (int i = 0; i < 8000; ++i)
                    r.channel(ch)->setSample(i, 0);
                for (int at : onsets[ch])
                    for (int i = 0; i < 40; ++i)
                        r.channel(ch)->setSample(at + i, qint8(i % 2 ? -60 : 60));
            }
            QCOMPARE(r.writeFile(at + QLatin1String(name)), 0);
        }
        for (const QString& name : mine.split(' ', Qt::SkipEmptyParts)) {
            QFile f(at + name);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("mine") == 4);
        }
        auto place = [&at](const char* text) {
            return QString::fromUtf8(text).replace('@', at).replace('%', Fixtures);
        };
        QProcess tool;
        tool.start(QStringLiteral(TAVREL_BIN_DIR "/rawtool"), place(c.args).split(' ', Qt::SkipEmptyParts));
        QVERIFY(tool.waitForFinished(60000) && tool.exitStatus() == QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), c.status);
        const QString told = QString::fromUtf8(tool.readAllStandardError() + tool.readAllStandardOutput());
        // Every output: the user's untouched unless the run made it anew; no temporary file left.
        QStringList made;
        QDirIterator it(at, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString name = it.next().mid(at.size());
            if (!name.endsWith(QLatin1String(".raw")) &&
                (fileBytes(at + name) != "mine" || !mine.contains(name)))
                made << name;
        }
        made.sort();
        QCOMPARE(made.join(' '), QString::fromUtf8(c.made));
        const QString said = place(c.said);
        if (said.startsWith('='))
            QCOMPARE(QString::fromUtf8(fileBytes(at + "a.csv")).section('\n', 2, 2), said.mid(1));
        else
            QVERIFY2(told.contains(said), qPrintable(told));
    }
};

QTEST_GUILESS_MAIN(TestRawTool)
#include "tst_rawtool.moc"
