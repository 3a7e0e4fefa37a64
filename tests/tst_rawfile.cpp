// The raw file: layout and round trip, every condition of the reader, the results of the writer
// (replacing, refusing, failing without losing the old file) and header values from a file that
// no later operation may trust.

#include "build/files_list.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_stor.h"

#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <limits>

namespace {

void putLe(QByteArray& b, qint64 offset, quint64 value, int size)
{
    for (int k = 0; k < size; ++k)
        b[offset + k] = char((value >> (8 * k)) & 0xFF);
}

// Values of a record with every field set.
struct RecordValues
{
    int channels = 5;
    int samples = 0;
    quint32 createdLength = 0x01020304;
    quint8 byte10 = 8;
    quint8 showSine = 1;
    quint16 clockKHz = 12000;
    qint32 divider = -36; // signed on disk
    quint8 byte18 = 0x5A;
    quint8 extSync = 3;
    quint8 procMode = 4;
    quint8 smoothHalf = 200;
    quint16 vScale = 0xBEEF;
    qint32 winStart = -123456;
    qint32 winWidth = 0x7F000001;
    quint8 detector = 1;
    // per channel
    quint16 gainCode(int i) const { return quint16(0x0100 * i + 7); }
    quint8 byte2(int i) const { return quint8(0xA0 + i); }
    quint8 input(int i) const { return quint8(20 + i); }
    qint32 cursor(int i) const { return i == 2 ? -5 : 1000 * i + 3; }
    qint8 sample(int ch, int k) const { return qint8((k * 7 + ch * 31 + (k >> 9)) & 0xFF); }
};

// The file as the format describes it, built without the program's structures.
QByteArray expectedFile(const RecordValues& s)
{
    QByteArray b(int(264 + qint64(s.channels) * (16 + s.samples)), '\0');
    std::memcpy(b.data(), "ZORIVRAW", 8);
    const int h = 8;
    putLe(b, h + 0, quint64(s.channels), 2);
    putLe(b, h + 2, s.createdLength, 4);
    putLe(b, h + 6, quint32(s.samples), 4);
    putLe(b, h + 10, s.byte10, 1);
    putLe(b, h + 11, s.showSine, 1);
    putLe(b, h + 12, s.clockKHz, 2);
    putLe(b, h + 14, quint32(s.divider), 4);
    putLe(b, h + 18, s.byte18, 1);
    putLe(b, h + 19, s.extSync, 1);
    putLe(b, h + 20, s.procMode, 1);
    putLe(b, h + 21, s.smoothHalf, 1);
    putLe(b, h + 22, s.vScale, 2);
    putLe(b, h + 24, quint32(s.winStart), 4);
    putLe(b, h + 28, quint32(s.winWidth), 4);
    putLe(b, h + 40, 20, 1);
    putLe(b, h + 41, 1, 1);
    putLe(b, h + 42, s.detector, 1);
    qint64 at = 264;
    for (int i = 0; i < s.channels; ++i) {
        putLe(b, at + 0, s.gainCode(i), 2);
        putLe(b, at + 2, s.byte2(i), 1);
        putLe(b, at + 3, s.input(i), 1);
        putLe(b, at + 4, quint32(s.cursor(i)), 4);
        at += 16;
        for (int k = 0; k < s.samples; ++k)
            b[at + k] = char(s.sample(i, k));
        at += s.samples;
    }
    return b;
}

// The same record built through the program's structures.
bool makeRecord(TWaveStor& rec, const RecordValues& s)
{
    if (!rec.init(s.channels, s.samples))
        return false;
    TWaveHeader& h = rec.header;
    h.createdLength = s.createdLength;
    h.reserved10 = s.byte10;
    h.showSine = s.showSine;
    h.clockKHz = s.clockKHz;
    h.divider = s.divider;
    h.reserved18 = s.byte18;
    h.extSync = s.extSync;
    h.procMode = s.procMode;
    h.smoothHalf = s.smoothHalf;
    h.vScale = s.vScale;
    h.winStart = s.winStart;
    h.winWidth = s.winWidth;
    h.detector = s.detector;
    h.verMinor = 99; // the writer stamps its own version
    h.verMajor = 9;
    for (int i = 0; i < s.channels; ++i) {
        TChannelHeader* ch = rec.channelHeader(i);
        ch->gainCode = s.gainCode(i);
        ch->reserved2 = s.byte2(i);
        ch->input = s.input(i);
        ch->cursorPos = 777; // replaced by the channel's cursor on writing
        TWaveView* v = rec.channel(i);
        v->cursor = s.cursor(i);
        for (int p = 0; p < s.samples;) {
            qint8* at = nullptr;
            const int n = v->chunkAt(p, &at);
            if (n <= 0)
                return false;
            for (int k = 0; k < n; ++k)
                at[k] = s.sample(i, p + k);
            p += n;
        }
    }
    return true;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

const QRect Plot(QPoint(0, 0), QPoint(639, 479));

} // namespace

class TestRawFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void roundTrip_data();
    void roundTrip();
    void readerConditions_data();
    void readerConditions();
    void readerConditionsOfPaths();
    void readerRefusesLongChannelsBeforeAllocating();
    void readerKeepsChannelsMadeBeforeFailure();
    void detectorMakesChannelsUnipolar();
    void trailingBytesIgnored();
    void hostileHeaderFields_data();
    void hostileHeaderFields();

    void writeNewPathCreatesOnlyThatFile();
    void writeReplacesRegularFile();
    void writeRefusesDirectory();
    void writeRefusesLink();
    void writeFailureKeepsOldFile();
    void writeWithoutTemporaryPlace();
    void writeRefusesInconsistentRecord();

private:
    QList<quint64> m_codes;
    int m_wantIndex = 0;
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
};

void TestRawFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    StringsKit::instance().fill();
    velkit::registerSourceFiles(tavrelFilesList, tavrelFilesListCount);
    for (int i = 1; i <= tavrelFilesListCount; ++i) {
        if (QByteArray(tavrelFilesList[i]).endsWith("main/src/wave_stor.cpp"))
            m_wantIndex = velkit::sourceFileIndex(tavrelFilesList[i]);
    }
    QVERIFY(m_wantIndex > 0);
    // Reports are collected here instead of being shown in a box.
    velkit::MessagerDaemon* messager = velkit::libraryMessager();
    QVERIFY(messager);
    QObject::disconnect(messager, &velkit::MessagerDaemon::sig_ShowCritical, messager,
                        &velkit::MessagerDaemon::slot_ShowCritical);
    connect(
        messager, &velkit::MessagerDaemon::sig_ShowCritical, this,
        [this](quint64 code) { m_codes.append(code); }, Qt::DirectConnection);
}

void TestRawFile::cleanupTestCase()
{
    velkit::vlkShutdown();
}

void TestRawFile::init()
{
    m_codes.clear();
}

void TestRawFile::roundTrip_data()
{
    QTest::addColumn<int>("samples");
    for (int n : {0, 1, 32767, 32768, 32769, 163840})
        QTest::addRow("%d samples", n) << n;
}

void TestRawFile::roundTrip()
{
    QFETCH(int, samples);
    RecordValues vals;
    vals.samples = samples;
    TWaveStor rec(Plot);
    QVERIFY(makeRecord(rec, vals));
    const QString file = path(QStringLiteral("round%1.raw").arg(samples));
    QCOMPARE(rec.writeFile(file), 0);
    QCOMPARE(int(rec.header.verMinor), 20);
    QCOMPARE(int(rec.header.verMajor), 1);

    const QByteArray bytes = readAll(file);
    QCOMPARE(qint64(bytes.size()), 264 + 5 * (16 + qint64(samples)));
    QCOMPARE(qint64(bytes.size()), rawFileSize(5, samples));
    const QByteArray expected = expectedFile(vals);
    if (bytes != expected) {
        int k = 0;
        while (bytes[k] == expected[k])
            ++k;
        QFAIL(qPrintable(QStringLiteral("first difference at byte %1").arg(k)));
    }
    QVERIFY(!QFile::exists(file + ".tmp"));

    TWaveStor back(Plot);
    QVERIFY(back.readFile(file));
    QVERIFY(m_codes.isEmpty());
    QCOMPARE(std::memcmp(&back.header, &rec.header, sizeof(TWaveHeader)), 0);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(std::memcmp(back.channelHeader(i), rec.channelHeader(i), sizeof(TChannelHeader)), 0);
        QCOMPARE(qint32(back.channelHeader(i)->cursorPos), vals.cursor(i));
        const TWaveView* v = back.channel(i);
        QVERIFY(v);
        QCOMPARE(v->count, samples);
        QCOMPARE(v->cursor, vals.cursor(i));
        QVERIFY(v->visible && v->cursorOn && v->baseOn);
        QVERIFY(v->unipolar);
        QVERIFY(!v->modified);
        QCOMPARE(int(v->mode), int(vals.procMode));
        QCOMPARE(v->halfWidth, 126);
        QCOMPARE(v->grColor, g_traceColours[i]);
        QCOMPARE(v->cursColor, g_cursorColours[i]);
        QCOMPARE(v->baseColor, QColor(Qt::gray));
        for (int p = 0; p < samples;) {
            const qint8* a = nullptr;
            const qint8* b = nullptr;
            const int n = v->chunkAt(p, &a);
            QVERIFY(n > 0);
            QCOMPARE(std::as_const(*rec.channel(i)).chunkAt(p, &b), n);
            QCOMPARE(std::memcmp(a, b, size_t(n)), 0);
            p += n;
        }
    }
    // A second save of what was read is the same file.
    const QString again = path(QStringLiteral("again%1.raw").arg(samples));
    QCOMPARE(back.writeFile(again), 0);
    QCOMPARE(readAll(again), bytes);
}

void TestRawFile::readerConditions_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("condition"); // 0: read succeeds

    RecordValues vals;
    vals.channels = 2;
    vals.samples = 100;
    const QByteArray good = expectedFile(vals); // 264 + 2 * 116 = 496 bytes
    QCOMPARE(good.size(), 496);
    QTest::newRow("whole file") << good << 0;
    QTest::newRow("empty file") << QByteArray() << 0xA402;
    QTest::newRow("7 bytes") << good.left(7) << 0xA402;
    QTest::newRow("8 bytes, right magic") << good.left(8) << 0xAF02;
    QTest::newRow("8 bytes, wrong magic") << QByteArray("ZORIVRAX") << 0xAC02;
    QTest::newRow("263 bytes") << good.left(263) << 0xAF02;
    QTest::newRow("264 bytes, two channels announced") << good.left(264) << 0xAD02;
    QTest::newRow("inside the first channel header") << good.left(270) << 0xAD02;
    QTest::newRow("inside the first channel's samples") << good.left(300) << 0xAD02;
    QTest::newRow("inside the second channel header") << good.left(264 + 116 + 15) << 0xAD02;
    QTest::newRow("one byte short of the last sample") << good.left(good.size() - 1) << 0xAD02;
    QByteArray magic = good;
    magic[0] = 'z';
    QTest::newRow("wrong magic") << magic << 0xAC02;
    QByteArray six = good;
    putLe(six, 8, 6, 2);
    QTest::newRow("6 channels") << six << 0xAC02;
    QByteArray many = good;
    putLe(many, 8, 0xFFFF, 2);
    QTest::newRow("65535 channels") << many << 0xAC02;
    QByteArray none = good.left(264);
    putLe(none, 8, 0, 2);
    QTest::newRow("264 bytes, no channels") << none << 0;
    QByteArray longer = good;
    putLe(longer, 14, 163841, 4);
    QTest::newRow("163841 samples") << longer << 0xAD02;
    putLe(longer, 14, 0xFFFFFFFFu, 4);
    QTest::newRow("4294967295 samples") << longer << 0xAD02;
}

void TestRawFile::readerConditions()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, condition);
    const QString file = path(QStringLiteral("cond.raw"));
    QVERIFY(writeBytes(file, bytes));
    TWaveStor rec(Plot);
    QCOMPARE(rec.readFile(file), condition == 0);
    if (condition == 0) {
        QVERIFY(m_codes.isEmpty());
        return;
    }
    QCOMPARE(m_codes.size(), 1);
    QCOMPARE(int(m_codes[0] & 0xFFFF), condition);
    QCOMPARE(int((m_codes[0] >> 32) & 0xFFFF), m_wantIndex);
}

void TestRawFile::readerConditionsOfPaths()
{
    TWaveStor rec(Plot);
    QVERIFY(!rec.readFile(QString()));
    QVERIFY(!rec.readFile(path(QStringLiteral("no such file.raw"))));
    const QString dir = path(QStringLiteral("a directory.raw"));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(!rec.readFile(dir));
    QCOMPARE(m_codes.size(), 3);
    QCOMPARE(int(m_codes[0] & 0xFFFF), 0xA502);
    QCOMPARE(int(m_codes[1] & 0xFFFF), 0xA702);
    QCOMPARE(int(m_codes[2] & 0xFFFF), 0xA602);
}

void TestRawFile::readerRefusesLongChannelsBeforeAllocating()
{
    // A header that announces more samples than a channel holds, followed by that many bytes:
    // nothing is made and nothing is read into a channel.
    RecordValues vals;
    vals.channels = 1;
    vals.samples = MaxSamples + 1;
    const QString file = path(QStringLiteral("long.raw"));
    QVERIFY(writeBytes(file, expectedFile(vals)));
    TWaveStor rec(Plot);
    QVERIFY(!rec.readFile(file));
    QVERIFY(!rec.channel(0));
    QCOMPARE(m_codes.size(), 1);
    QCOMPARE(int(m_codes[0] & 0xFFFF), 0xAD02);
}

void TestRawFile::readerKeepsChannelsMadeBeforeFailure()
{
    RecordValues vals;
    vals.channels = 3;
    vals.samples = 40000;
    const QByteArray good = expectedFile(vals);
    const QString file = path(QStringLiteral("cut.raw"));
    QVERIFY(writeBytes(file, good.left(good.size() - 10)));
    TWaveStor rec(Plot);
    QVERIFY(!rec.readFile(file));
    QVERIFY(rec.channel(0) && rec.channel(1) && rec.channel(2));
    QCOMPARE(int(rec.channel(1)->sample(39999)), int(vals.sample(1, 39999)));
    QVERIFY(!rec.channel(2)->visible); // failed while its samples were read
}

void TestRawFile::detectorMakesChannelsUnipolar()
{
    RecordValues vals;
    vals.channels = 2;
    vals.samples = 10;
    vals.vScale = 1000;
    vals.detector = 1;
    const QString file = path(QStringLiteral("detector.raw"));
    QVERIFY(writeBytes(file, expectedFile(vals)));
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(100, 512)));
    QVERIFY(rec.readFile(file));
    QCOMPARE(rec.yScale, 1.0);
    for (int i = 0; i < 2; ++i) {
        QVERIFY(rec.channel(i)->unipolar);
        QCOMPARE(rec.channel(i)->baseOffset, -128);
    }
    vals.detector = 0;
    QVERIFY(writeBytes(file, expectedFile(vals)));
    TWaveStor plain(QRect(QPoint(0, 0), QPoint(100, 512)));
    QVERIFY(plain.readFile(file));
    QCOMPARE(plain.channel(0)->baseOffset, 0);
}

void TestRawFile::trailingBytesIgnored()
{
    RecordValues vals;
    vals.channels = 1;
    vals.samples = 5;
    const QString file = path(QStringLiteral("trailing.raw"));
    QVERIFY(writeBytes(file, expectedFile(vals) + QByteArray(100, 'x')));
    TWaveStor rec(Plot);
    QVERIFY(rec.readFile(file));
    QCOMPARE(int(rec.channel(0)->sample(4)), int(vals.sample(0, 4)));
}

void TestRawFile::hostileHeaderFields_data()
{
    QTest::addColumn<qint32>("winStart");
    QTest::addColumn<qint32>("winWidth");
    QTest::addColumn<int>("vScale");
    QTest::addColumn<int>("procMode");
    QTest::addColumn<int>("smoothHalf");
    QTest::addColumn<qint32>("divider");
    QTest::addColumn<int>("clockKHz");
    const qint32 lo = std::numeric_limits<qint32>::min();
    const qint32 hi = std::numeric_limits<qint32>::max();
    QTest::newRow("extreme starts and widths") << lo << hi << 65535 << 255 << 255 << lo << 0;
    QTest::newRow("start beyond the end") << hi << 2 << 1 << 6 << 254 << hi << 1;
    QTest::newRow("negative width") << -5 << -7 << 0 << 4 << 127 << 0 << 65535;
    QTest::newRow("zero width, tiny zoom") << 3 << 0 << 1 << 7 << 0 << -1 << 12000;
    QTest::newRow("width 1") << lo << 1 << 65535 << 2 << 255 << 4 << 12000;
}

void TestRawFile::hostileHeaderFields()
{
    QFETCH(qint32, winStart);
    QFETCH(qint32, winWidth);
    QFETCH(int, vScale);
    QFETCH(int, procMode);
    QFETCH(int, smoothHalf);
    QFETCH(qint32, divider);
    QFETCH(int, clockKHz);
    RecordValues vals;
    vals.channels = 3;
    vals.samples = 70000;
    vals.winStart = winStart;
    vals.winWidth = winWidth;
    vals.vScale = quint16(vScale);
    vals.procMode = quint8(procMode);
    vals.smoothHalf = quint8(smoothHalf);
    vals.divider = divider;
    vals.clockKHz = quint16(clockKHz);
    const QByteArray bytes = expectedFile(vals);
    const QString file = path(QStringLiteral("hostile.raw"));
    QVERIFY(writeBytes(file, bytes));

    TWaveStor rec(QRect(QPoint(0, 0), QPoint(799, 599)));
    QVERIFY(rec.readFile(file));
    for (int i = 0; i < 3; ++i) {
        QVERIFY(rec.channel(i)->halfWidth >= 0 && rec.channel(i)->halfWidth <= MaxHalfWidth);
        QCOMPARE(rec.channel(i)->winLen, 2 * rec.channel(i)->halfWidth + 1);
    }
    QVERIFY(std::isfinite(rec.xScale) && rec.xScale > 0);
    QVERIFY(std::isfinite(rec.yScale));

    // Every later operation must end, quickly, without touching memory it does not own.
    QElapsedTimer timer;
    timer.start();
    QImage image(800, 600, QImage::Format_RGB32);
    for (bool print : {false, true}) {
        g_printMode = print;
        image.fill(Qt::black);
        QPainter painter(&image);
        rec.draw(&painter);
        rec.drawSine(&painter);
        rec.drawCursors(&painter);
        QVERIFY(rec.moveCursor(&painter, 1, 12345));
    }
    g_printMode = false;
    rec.setPlotRect(QRect(QPoint(10, 10), QPoint(300, 200)));
    rec.recalcXScale();
    rec.recalcYScale();
    rec.applyWindow();
    for (int x : {-100000, 0, 50, 799, 100000}) {
        const int s = rec.xToSample(x);
        rec.sampleToX(s);
        rec.cursorFromX(0, x);
        rec.channelAtCursor(x, 50);
        rec.channelAtBaseline(x, 50);
    }
    rec.meanOver(0, 0, vals.samples - 1);
    rec.maxPositionIn(1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    rec.meanOver(2, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    rec.channel(0)->processedSample(rec.channel(0)->cursor);
    rec.samplePeriodUs();
    QRect span;
    rec.baselineRepaintSpan(0, span);
    QVERIFY2(timer.elapsed() < 10000, "operations on a hostile record took too long");

    // The bytes of the header are kept as read: a second save gives the same file.
    const QString again = path(QStringLiteral("hostile-again.raw"));
    rec.channel(1)->cursor = vals.cursor(1);
    rec.channel(0)->cursor = vals.cursor(0);
    rec.channel(2)->cursor = vals.cursor(2);
    QCOMPARE(rec.writeFile(again), 0);
    QCOMPARE(readAll(again).left(264), bytes.left(264));
}

void TestRawFile::writeNewPathCreatesOnlyThatFile()
{
    QTemporaryDir dir;
    TWaveStor rec(Plot);
    QVERIFY(rec.init(2, 50));
    const QString file = dir.filePath(QStringLiteral("new.raw"));
    QCOMPARE(rec.writeFile(file), 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("new.raw")});
    QCOMPARE(QFileInfo(file).size(), rawFileSize(2, 50));
    QCOMPARE(rec.writeFile(QString()), -1);
}

void TestRawFile::writeReplacesRegularFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("old.raw"));
    QVERIFY(writeBytes(file, QByteArray(10000, 'o')));
    TWaveStor rec(Plot);
    QVERIFY(rec.init(1, 3));
    rec.channel(0)->setSample(1, 42);
    QCOMPARE(rec.writeFile(file), 0);
    const QByteArray bytes = readAll(file);
    QCOMPARE(qint64(bytes.size()), rawFileSize(1, 3));
    QCOMPARE(int(bytes[264 + 16 + 1]), 42);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("old.raw")});
    // An empty record is a valid file too: headers only.
    TWaveStor empty(Plot);
    QVERIFY(empty.init(4, 0));
    QCOMPARE(empty.writeFile(file), 0);
    QCOMPARE(qint64(readAll(file).size()), rawFileSize(4, 0));
    TWaveStor back(Plot);
    QVERIFY(back.readFile(file));
    QCOMPARE(back.channelCount(), 4);
    QCOMPARE(back.channel(3)->count, 0);
}

void TestRawFile::writeRefusesDirectory()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("taken.raw"));
    QVERIFY(QDir().mkpath(file + "/inside"));
    TWaveStor rec(Plot);
    QVERIFY(rec.init(2, 300));
    QCOMPARE(rec.writeFile(file), -16);
    QVERIFY(QFileInfo(file + "/inside").isDir());
    // The complete file waits beside it.
    QCOMPARE(QFileInfo(file + ".tmp").size(), rawFileSize(2, 300));
    TWaveStor back(Plot);
    QVERIFY(back.readFile(file + ".tmp"));
}

void TestRawFile::writeRefusesLink()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target.raw"));
    const QString link = dir.filePath(QStringLiteral("link.raw"));
    QVERIFY(writeBytes(target, "keep me"));
    if (!QFile::link(target, link))
        QSKIP("no symbolic links here");
    TWaveStor rec(Plot);
    QVERIFY(rec.init(1, 10));
    QCOMPARE(rec.writeFile(link), -16);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(target), QByteArray("keep me"));
    QVERIFY(QFile::exists(link + ".tmp"));
}

void TestRawFile::writeFailureKeepsOldFile()
{
    // The temporary file lands on a device that is always full, so writing it fails.
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("needs /dev/full");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("precious.raw"));
    QVERIFY(writeBytes(file, "old contents"));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), file + ".tmp"));
    TWaveStor rec(Plot);
    QVERIFY(rec.init(3, 100000));
    QCOMPARE(rec.writeFile(file), -1);
    QCOMPARE(readAll(file), QByteArray("old contents"));
    QVERIFY(!QFileInfo(file + ".tmp").exists() && !QFileInfo(file + ".tmp").isSymLink());
}

void TestRawFile::writeWithoutTemporaryPlace()
{
    QTemporaryDir dir;
    TWaveStor rec(Plot);
    QVERIFY(rec.init(1, 10));
    QCOMPARE(rec.writeFile(dir.filePath(QStringLiteral("missing/dir/x.raw"))), -1);
    // A directory in the temporary file's place is left alone.
    const QString file = dir.filePath(QStringLiteral("y.raw"));
    QVERIFY(QDir().mkpath(file + ".tmp"));
    QCOMPARE(rec.writeFile(file), -1);
    QVERIFY(QFileInfo(file + ".tmp").isDir());
    QVERIFY(!QFile::exists(file));
}

void TestRawFile::writeRefusesInconsistentRecord()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("z.raw"));
    TWaveStor rec(Plot);
    QVERIFY(rec.init(2, 10));
    rec.header.samples = 11; // more than the channels hold
    QCOMPARE(rec.writeFile(file), -1);
    rec.header.samples = 10;
    delete rec.channelSlots[1].view;
    rec.channelSlots[1].view = nullptr;
    QCOMPARE(rec.writeFile(file), -1);
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_MAIN(TestRawFile)
#include "tst_rawfile.moc"
