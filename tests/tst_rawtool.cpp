// The command-line tool on real files: header blocks of the fixtures and the reasons of the
// damaged ones, batch conversion with a damaged file among good ones, outputs that exist, and the
// command line itself.

#include <QtTest>

#include <QProcess>
#include <QtEndian>

namespace {

const QString Tool = QStringLiteral(TAVREL_BIN_DIR "/rawtool");

QString fixture(const QString& name)
{
    return QStringLiteral(TAVREL_FIXTURES "/raw/") + name;
}

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run rawtool(const QStringList& args)
{
    QProcess p;
    p.start(Tool, args);
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The header block rawtool info prints for a good file.
QString block(const QString& file, const QStringList& lines)
{
    return QStringLiteral("file: ") + file + QLatin1Char('\n') + lines.join(QLatin1Char('\n')) +
           QLatin1Char('\n');
}

} // namespace

class TestRawTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void info_data();
    void info();
    void infoGoesOnPastADamagedFile();
    void csvBatchWithADamagedFile();
    void wavAndDefaultFolder();
    void sameOutputTwiceInOneRun();
    void usage_data();
    void usage();
    void helpNamesEveryOption();

private:
    QTemporaryDir dir;
};

void TestRawTool::initTestCase()
{
    if (!QFileInfo::exists(Tool))
        QSKIP("rawtool is not built (tools switched off)");
}

void TestRawTool::info_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("lines"); // empty: a damaged file
    QTest::addColumn<QString>("reason");
    QTest::newRow("one channel") << "one-channel.raw"
                                 << QStringList{"version: 1.20", "channels: 1",    "samples: 40",
                                                "rate: 5000000", "inputs: 1",      "gains: 1",
                                                "detector: off", "sync: internal", "mode: 0"}
                                 << QString();
    QTest::newRow("detector") << "two-channels-detector.raw"
                              << QStringList{"version: 1.20", "channels: 2",    "samples: 300",
                                             "rate: 5000000", "inputs: 1 2",    "gains: 1 2",
                                             "detector: on",  "sync: internal", "mode: 3"}
                              << QString();
    QTest::newRow("divider 0: rate 0")
        << "hostile-narrow.raw"
        << QStringList{"version: 1.20", "channels: 2",   "samples: 20",    "rate: 0", "inputs: 1 2",
                       "gains: 1 2",    "detector: off", "sync: internal", "mode: 6"}
        << QString();
    QTest::newRow("no channels") << "empty-record.raw"
                                 << QStringList{"version: 1.20", "channels: 0",    "samples: 0",
                                                "rate: 5000000", "inputs: ",       "gains: ",
                                                "detector: off", "sync: internal", "mode: 0"}
                                 << QString();
    QTest::newRow("7 bytes") << "cut-7-bytes.raw" << QStringList() << "file too short";
    QTest::newRow("magic only") << "cut-magic-only.raw" << QStringList() << "record header cut short";
    QTest::newRow("wrong magic") << "wrong-magic.raw" << QStringList() << "wrong magic";
    QTest::newRow("six channels") << "six-channels.raw" << QStringList() << "6 channels, at most 5";
    QTest::newRow("too many samples")
        << "samples-163841.raw" << QStringList() << "163841 samples per channel, at most 163840";
    QTest::newRow("cut samples") << "cut-last-samples.raw" << QStringList() << "channel data cut short";
    QTest::newRow("cut channel header")
        << "cut-channel-header.raw" << QStringList() << "channel data cut short";
    QTest::newRow("missing") << "no-such-file.raw" << QStringList() << "no such file";
}

void TestRawTool::info()
{
    QFETCH(QString, name);
    QFETCH(QStringList, lines);
    QFETCH(QString, reason);
    const Run r = rawtool({QStringLiteral("info"), fixture(name)});
    if (lines.isEmpty()) {
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(
            r.err.startsWith(QStringLiteral("rawtool: ") + fixture(name) + QStringLiteral(": ") + reason),
            qPrintable(r.err));
    } else {
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, block(fixture(name), lines));
        QCOMPARE(r.err, QString());
    }
}

void TestRawTool::infoGoesOnPastADamagedFile()
{
    const Run r = rawtool({QStringLiteral("info"), fixture(QStringLiteral("one-channel.raw")),
                           fixture(QStringLiteral("wrong-magic.raw")),
                           fixture(QStringLiteral("blocks-40000-detector.raw"))});
    QCOMPARE(r.status, 1);
    const QStringList blocks = r.out.split(QStringLiteral("\n\n"));
    QCOMPARE(blocks.size(), 2);
    QVERIFY(blocks[1].startsWith(QStringLiteral("file: ") +
                                 fixture(QStringLiteral("blocks-40000-detector.raw"))));
    QVERIFY(blocks[1].contains(QStringLiteral("\nsamples: 40000\n")));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
}

void TestRawTool::csvBatchWithADamagedFile()
{
    const QString in = dir.filePath(QStringLiteral("batch"));
    const QString out = dir.filePath(QStringLiteral("batch-out"));
    QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
    const QStringList names = {"a.raw", "bad.raw", "b.detector.raw"};
    QVERIFY(QFile::copy(fixture(QStringLiteral("one-channel.raw")), in + "/a.raw"));
    QVERIFY(QFile::copy(fixture(QStringLiteral("cut-last-samples.raw")), in + "/bad.raw"));
    QVERIFY(QFile::copy(fixture(QStringLiteral("two-channels-detector.raw")), in + "/b.detector.raw"));
    QStringList args = {QStringLiteral("csv"), QStringLiteral("--raw"), QStringLiteral("-o"), out};
    for (const QString& n : names)
        args << in + QLatin1Char('/') + n;

    Run r = rawtool(args);
    QCOMPARE(r.status, 1);
    QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{"a.csv", "b.detector.csv"}));
    QVERIFY2(r.err.startsWith(QStringLiteral("rawtool: %1/bad.raw: channel data cut short").arg(in)),
             qPrintable(r.err));
    // The samples of the single channel, as the file holds them after its two headers.
    const QByteArray raw = fileBytes(in + "/a.raw");
    const QStringList rows = QString::fromUtf8(fileBytes(out + "/a.csv").mid(3)).split(QLatin1Char('\n'));
    QCOMPARE(rows.size(), 1 + 40 + 1); // title, samples, nothing after the last line feed
    QCOMPARE(rows[0], QStringLiteral("Время (мкс),Вход 1"));
    for (int i = 0; i < 40; ++i)
        QCOMPARE(rows[i + 1], QStringLiteral("%1,%2").arg(i * 0.2).arg(int(qint8(raw[280 + i]))));

    // Run again: nothing is replaced without --force, each existing output fails alone.
    QFile marked(out + "/a.csv");
    QVERIFY(marked.open(QIODevice::WriteOnly) && marked.write("mine\n") == 5);
    marked.close();
    const QByteArray second = fileBytes(out + "/b.detector.csv");
    r = rawtool(args);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err.count(QLatin1Char('\n')), 3);
    QVERIFY2(r.err.contains(QStringLiteral("%1/a.csv exists; --force replaces it").arg(out)),
             qPrintable(r.err));
    QCOMPARE(fileBytes(out + "/a.csv"), QByteArray("mine\n"));
    QCOMPARE(fileBytes(out + "/b.detector.csv"), second);

    // With --force both are written again; the damaged file still fails.
    r = rawtool(QStringList(args) << QStringLiteral("--force"));
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY(fileBytes(out + "/a.csv").startsWith("\xEF\xBB\xBF"));
    QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Only good files: status 0, each named on standard output.
    r = rawtool({QStringLiteral("csv"), QStringLiteral("--force"), QStringLiteral("-o"), out, in + "/a.raw"});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("%1/a.raw -> %2/a.csv\n").arg(in, out));
}

void TestRawTool::wavAndDefaultFolder()
{
    const QString in = dir.filePath(QStringLiteral("wav"));
    QVERIFY(QDir().mkpath(in));
    QVERIFY(QFile::copy(fixture(QStringLiteral("two-channels-detector.raw")), in + "/det.raw"));
    QVERIFY(QFile::copy(fixture(QStringLiteral("hostile-narrow.raw")), in + "/norate.raw"));
    const Run r = rawtool({QStringLiteral("wav"), in + "/det.raw", in + "/norate.raw"});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("norate.raw: no sampling rate")), qPrintable(r.err));
    QCOMPARE(QDir(in).entryList({QStringLiteral("*.wav")}, QDir::Files), QStringList{"det.wav"});
    const QByteArray wav = fileBytes(in + "/det.wav");
    const QByteArray raw = fileBytes(in + "/det.raw");
    QCOMPARE(wav.size(), 44 + 2 * 300);
    QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 24), 5000000u);
    QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 22), quint16(2));
    // Frame k: channel 0 then channel 1, each code + 128.
    for (int k : {0, 1, 150, 299}) {
        QCOMPARE(quint8(wav[44 + 2 * k]), quint8(qint8(raw[280 + k]) + 128));
        QCOMPARE(quint8(wav[44 + 2 * k + 1]), quint8(qint8(raw[280 + 300 + 16 + k]) + 128));
    }
}

void TestRawTool::sameOutputTwiceInOneRun()
{
    const QString out = dir.filePath(QStringLiteral("twice"));
    QVERIFY(QDir().mkpath(out) && QDir().mkpath(dir.filePath(QStringLiteral("x"))));
    QVERIFY(
        QFile::copy(fixture(QStringLiteral("one-channel.raw")), dir.filePath(QStringLiteral("x/rec.raw"))));
    QVERIFY(QFile::copy(fixture(QStringLiteral("two-channels-detector.raw")),
                        dir.filePath(QStringLiteral("rec.raw"))));
    const Run r =
        rawtool({QStringLiteral("csv"), QStringLiteral("--force"), QStringLiteral("-o"), out,
                 dir.filePath(QStringLiteral("x/rec.raw")), dir.filePath(QStringLiteral("rec.raw"))});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("was written for another file of this run")), qPrintable(r.err));
    QVERIFY(fileBytes(out + "/rec.csv").contains("Вход 1\n")); // the first one's single column
}

void TestRawTool::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    const QString f = fixture(QStringLiteral("one-channel.raw"));
    QTest::newRow("nothing") << QStringList() << "no command given";
    QTest::newRow("unknown command") << QStringList{"hit", f} << "unknown command 'hit'";
    QTest::newRow("no files") << QStringList{"csv", "--raw"} << "csv: no files given";
    QTest::newRow("two modes") << QStringList{"csv", "--raw", "--volts", f} << "choose one of";
    QTest::newRow("unknown option") << QStringList{"csv", "--bogus", f} << "csv has no option --bogus";
    QTest::newRow("option of another command") << QStringList{"info", "--force", f} << "info has no option";
    QTest::newRow("folder missing") << QStringList{"csv", f, "-o"} << "-o needs DIR";
    QTest::newRow("no such folder") << QStringList{"wav", "-o", dir.filePath("none"), f} << "no such folder";
    QTest::newRow("switch with a value") << QStringList{"csv", "--force=yes", f} << "--force takes no value";
}

void TestRawTool::usage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    const Run r = rawtool(args);
    QCOMPARE(r.status, 2);
    QVERIFY2(r.err.contains(error), qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(fixture(QStringLiteral("one-channel.csv"))));
}

void TestRawTool::helpNamesEveryOption()
{
    const Run all = rawtool({QStringLiteral("--help")});
    QCOMPARE(all.status, 0);
    for (const char* word : {"info FILE", "csv FILE", "wav FILE", "--volts", "--raw", "--processed", "-o DIR",
                             "--force", "--help", "Exit status"})
        QVERIFY2(all.out.contains(QLatin1String(word)), word);
    // A command's own help leaves the others out.
    const Run wav = rawtool({QStringLiteral("wav"), QStringLiteral("--help")});
    QCOMPARE(wav.status, 0);
    QVERIFY(wav.out.contains(QStringLiteral("--force")) && !wav.out.contains(QStringLiteral("--volts")));
}

QTEST_GUILESS_MAIN(TestRawTool)
#include "tst_rawtool.moc"
