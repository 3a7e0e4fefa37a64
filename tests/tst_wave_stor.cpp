// The signal record's length cap; its raw file: layout and round trip, the reader's conditions,
// hostile header values kept as read (what later operations make of them is tst_fuzz_replay's);
// writing through a temporary file (replacing, refusing, failing without losing the old file,
// never following a planted link, never leaving a file behind).

#include "critical_reports.h"
#include "wave_stor.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

namespace {

const QRect Plot(QPoint(0, 0), QPoint(799, 599));

void putLe(QByteArray& b, qint64 offset, quint64 value, int size)
{
    for (int k = 0; k < size; ++k)
        b[offset + k] = char((value >> (8 * k)) & 0xFF);
}

// A record of five channels with every field set; the channels are detector (unipolar) ones.
void fillRecord(TWaveStor& rec, int samples)
{
    QVERIFY(rec.init(5, samples));
    // In the header's order; the writer stamps its own version over 9.
    rec.header = {5,   0x01020304, quint32(samples), 7,          1,  12000, -36, 0x5A, 3, 4,
                  200, 0xBEEF,     -123456,          0x7F000001, {}, 20,    9,   1,    {}};
    rec.header.reserved32[7] = 0x32;
    rec.header.reserved43[212] = 0x43;
    for (int i = 0; i < 5; ++i) {
        TChannelHeader* c = rec.channelHeader(i);
        c->gainCode = quint16(0x0100 * i + 7);
        c->reserved2 = quint8(0xA0 + i);
        c->input = quint8(20 + i);
        c->cursorPos = 777; // the channel's cursor replaces it on writing
        c->reserved8[7] = quint8(i + 1);
        rec.channel(i)->cursor = i == 2 ? -5 : 1000 * i + 3;
        for (int k = 0; k < samples; ++k)
            rec.channel(i)->setSample(k, qint8(k * 7 + i * 31 + (k >> 9)));
    }
}

// The file of a record as the format lays it out, written field by field in the format's order.
QByteArray expectedFile(const TWaveStor& rec)
{
    const TWaveHeader& h = rec.header;
    QByteArray b;
    QDataStream out(&b, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("ZORIVRAW", 8);
    out << quint16(h.channels) << quint32(h.createdLength) << quint32(h.samples) << quint8(h.reserved10)
        << quint8(h.showSine) << quint16(h.clockKHz) << qint32(h.divider) << quint8(h.reserved18)
        << quint8(h.extSync) << quint8(h.procMode) << quint8(h.smoothHalf) << quint16(h.vScale)
        << qint32(h.winStart) << qint32(h.winWidth);
    out.writeRawData(reinterpret_cast<const char*>(h.reserved32), 8);
    out << quint8(20) << quint8(1) << quint8(h.detector); // the writer's version, then the flag
    out.writeRawData(reinterpret_cast<const char*>(h.reserved43), 213);
    for (int i = 0; i < h.channels; ++i) {
        const TChannelHeader* c = rec.channelHeader(i);
        out << quint16(c->gainCode) << quint8(c->reserved2) << quint8(c->input)
            << qint32(rec.channel(i)->cursor);
        out.writeRawData(reinterpret_cast<const char*>(c->reserved8), 8);
        for (int k = 0; k < int(h.samples); ++k)
            out << qint8(rec.channel(i)->sample(k));
    }
    return b;
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

const auto fileState = [](qint64 size, const QByteArray& bytes) {
    return QStringLiteral("file of %1 bytes: ").arg(size) + QString::fromLatin1(bytes.left(8));
};

// Every entry of a folder, hidden ones and dangling links included, with what it is.
QMap<QString, QString> folderState(const QString& folder)
{
    QMap<QString, QString> state;
    for (const QFileInfo& fi :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        state[fi.fileName()] = fi.isSymLink() ? "link to " + fi.symLinkTarget()
                               : fi.isDir()   ? QStringLiteral("folder")
                                              : fileState(fi.size(), readAll(fi.filePath()));
    }
    return state;
}

} // namespace

class TestWaveStor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { velkit::vlkShutdown(); }
    void init() { m_codes.clear(); }
    void recordLogic();
    void roundTrip_data()
    {
        QTest::addColumn<int>("samples");
        for (int n : {1, 32768, 163840})
            QTest::addRow("%d samples", n) << n;
    }
    void roundTrip();
    void readerConditions_data();
    void readerConditions();
    void writerResults_data();
    void writerResults();

private:
    QList<quint64> m_codes;
    QTemporaryDir m_dir;
};

void TestWaveStor::recordLogic()
{
    TWaveStor rec(QRect(QPoint(0, 0), QPoint(1001, 400)));
    QVERIFY(rec.init(7, 200000));
    // Five channels; the header never announces more than a channel holds (a saved file would be short).
    QCOMPARE((QList<qint64>{rec.channelCount(), rec.header.samples, rec.channel(4)->count}),
             (QList<qint64>{5, MaxSamples, MaxSamples}));
}

void TestWaveStor::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(startLibraryCollectingReports(this, &m_codes));
}

void TestWaveStor::roundTrip()
{
    QFETCH(int, samples);
    TWaveStor rec(Plot);
    fillRecord(rec, samples);
    const QString file = m_dir.filePath(QStringLiteral("round.raw"));
    QCOMPARE(rec.writeFile(file), 0);
    const QByteArray bytes = readAll(file);
    QCOMPARE(qint64(bytes.size()), 264 + 5 * (16 + qint64(samples)));
    QCOMPARE(bytes, expectedFile(rec));

    TWaveStor back(Plot);
    QVERIFY(back.readFile(file));
    QVERIFY(m_codes.isEmpty());
    const TWaveView* v = back.channel(4);
    QVERIFY(v->visible && v->unipolar && !v->modified && v->mode == pmEnvelopeDiff);
    QCOMPARE(v->halfWidth, 126); // 200 in the header
    // Saving what was read over the file gives the same bytes: headers, cursors and samples.
    QCOMPARE(back.writeFile(file), 0);
    QCOMPARE(readAll(file), bytes);
}

void TestWaveStor::readerConditions_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("condition"); // 0: read succeeds
    QTest::addColumn<int>("made");      // channels made before the failure
    TWaveStor rec;
    fillRecord(rec, 40000);
    const QByteArray good = expectedFile(rec);
    // What the reader made before it failed (short and wrong files: tst_fuzz_replay's corpus).
    QTest::newRow("whole file, trailing bytes") << good + "xyz" << 0 << 5;
    QTest::newRow("inside the third channel header") << good.left(264 + 2 * (16 + 40000) + 15) << 0xAD02 << 2;
    QTest::newRow("inside the last channel's samples") << good.left(good.size() - 1) << 0xAD02 << 5;
    // Untrusted header fields: winStart, winWidth, vScale, procMode, smoothHalf, divider, clockKHz.
    const qint64 lo = std::numeric_limits<qint32>::min(), hi = std::numeric_limits<qint32>::max();
    const QList<QList<qint64>> hostile = {{lo, hi, 65535, 255, 255, lo, 0}, {hi, 2, 1, 6, 254, hi, 1}};
    QByteArray changed;
    for (const QList<qint64>& fields : hostile) {
        changed = good;
        const int at[] = {24, 28, 22, 20, 21, 14, 12}, size[] = {4, 4, 2, 1, 1, 4, 2};
        for (int k = 0; k < 7; ++k)
            putLe(changed, 8 + at[k], quint64(fields[k]), size[k]);
        QTest::addRow("hostile header, start %lld width %lld", fields[0], fields[1]) << changed << 0 << 5;
    }
    // A channel longer than any can be, with all its bytes there: refused before it is made.
    changed = good.left(264 + 16) + QByteArray(MaxSamples + 1, '\x11');
    putLe(changed, 8, 1, 2);
    putLe(changed, 14, 0xFFFFFFFF, 4);
    QTest::newRow("4294967295 samples") << changed << 0xAD02 << 0;
    QTest::newRow("no path") << QByteArray() << 0xA502 << 0;
    QTest::newRow("missing file") << QByteArray() << 0xA702 << 0;
    QTest::newRow("a directory") << QByteArray() << 0xA602 << 0;
}

void TestWaveStor::readerConditions()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, condition);
    QFETCH(int, made);
    QString file = m_dir.filePath(QStringLiteral("cond.raw"));
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    if (tag == "no path")
        file.clear();
    else if (tag == "missing file")
        file = m_dir.filePath(QStringLiteral("no such file.raw"));
    else if (tag == "a directory")
        QVERIFY(QDir().mkpath(file = m_dir.filePath(QStringLiteral("dir.raw"))));
    else
        QVERIFY(writeBytes(file, bytes));
    TWaveStor rec(Plot);
    QCOMPARE(rec.readFile(file), condition == 0);
    QCOMPARE(m_codes.size(), condition == 0 ? 0 : 1);
    for (int i = 0; i < MaxChannels; ++i)
        QCOMPARE(rec.channel(i) != nullptr, i < made);
    if (condition != 0) {
        QCOMPARE(int(m_codes[0] & 0xFFFF), condition);
        return;
    }
    // The header is kept as read: a second save gives the same bytes.
    QCOMPARE(rec.writeFile(file), 0);
    QCOMPARE(readAll(file).left(264), bytes.left(264));
}

void TestWaveStor::writerResults_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("unnamed"); // the file may be made without a name first
    QTest::addColumn<int>("result");
    const QList<QPair<const char*, int>> rows = {
        {"replaces a file, keeping its mode, owner and group", 0},
        {"a link at the old fixed temporary name", 0},
        {"a folder at the old fixed temporary name", 0},
        {"links at the first names tried", 0},
        {"links at every name tried", -1},
        {"the destination is a folder", -16},
        {"the destination is a link", -16},
        {"the folder is a file", -1},
        {"the folder is read-only", -1},
        {"the disk takes no more", -1},
        {"record: a link at the old fixed temporary name", 0},
        {"record: no samples", -1},
        {"record: empty channel slot", -1},
    };
    for (const auto& [setup, result] : rows) {
        QTest::addRow("%s", setup) << setup << true << result;
        // The record's writer goes the program's way; the others once more with a named file.
        if (!QByteArray(setup).startsWith("record") && result != -16)
            QTest::addRow("%s, named", setup) << setup << false << result;
    }
}

void TestWaveStor::writerResults()
{
    QFETCH(QString, setup);
    QFETCH(bool, unnamed);
    QFETCH(int, result);
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("precious.raw"));
    const QString victim = dir.filePath(QStringLiteral("victim"));
    QVERIFY(writeBytes(file, "old contents") && writeBytes(victim, "victim contents"));
    // The names tried, one per salt, as the folder shows them.
    const auto tried = [&](quint64 salt) {
        return dir.filePath(QStringLiteral("precious.raw.%1.tmp").arg(salt, 12, 16, QChar(u'0')));
    };
    QList<quint64> salts = {0x1234, 0xffffffffffff, 0xa, 0xb, 0xc};
    int tries = 0;
    TemporaryFileOptions options{[&] { return salts[tries++ % salts.size()]; }, unnamed};
    const bool root = ::geteuid() == 0;
    rlimit sizeLimit;
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &sizeLimit) == 0);

    if (setup.startsWith("replaces")) {
        QVERIFY(::chmod(QFile::encodeName(file), 0640) == 0);
        QVERIFY(!root || ::chown(QFile::encodeName(file), 4321, 8765) == 0);
    } else if (setup.contains("old fixed temporary name")) {
        QVERIFY(setup.contains("link") ? QFile::link(victim, file + ".tmp") : QDir().mkdir(file + ".tmp"));
    } else if (setup.startsWith("links at")) {
        if (setup.contains("every"))
            salts = {0x77};
        for (quint64 salt : salts.mid(0, 4))
            QVERIFY(QFile::link(victim, tried(salt)));
    } else if (setup.startsWith("the destination")) {
        QVERIFY(QFile::remove(file) &&
                (setup.endsWith("link") ? QFile::link(victim, file) : QDir().mkdir(file)));
    } else if (setup == "the folder is a file") {
        file += QStringLiteral("/inside.raw");
    } else if (setup == "the folder is read-only") {
        if (root)
            QSKIP(
                "root writes into a read-only folder; 'the folder is a file' fails making the file instead");
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    } else if (setup == "the disk takes no more") { // a file size limit: writes fail, for root too
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit low = sizeLimit;
        low.rlim_cur = 4;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &low) == 0);
    }
    const QMap<QString, QString> before = folderState(dir.path());

    int written = 0;
    if (setup.startsWith("record")) { // the record's writer: headers, then channels
        TWaveStor rec(Plot);
        QVERIFY(rec.init(3, setup.contains("no samples") ? 0 : 100000));
        if (setup.contains("slot")) {
            delete rec.channelSlots[1].view;
            rec.channelSlots[1].view = nullptr;
        }
        written = rec.writeFile(file);
    } else {
        written = writeFileSafely(
            file, [](QIODevice& out) { return out.write("new contents") == 12; }, options);
    }
    ::setrlimit(RLIMIT_FSIZE, &sizeLimit);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(written, result);

    // Nothing else in the folder changed: no temporary file left, no link followed.
    QMap<QString, QString> expected = before;
    if (result == 0) {
        expected[QStringLiteral("precious.raw")] = setup.startsWith("record")
                                                       ? fileState(rawFileSize(3, 100000), "ZORIVRAW")
                                                       : fileState(12, "new contents");
    }
    QCOMPARE(folderState(dir.path()), expected);
    if (setup == "links at the first names tried")
        QCOMPARE(tries, 5); // each planted name was tried and passed over
    if (setup.startsWith("replaces")) {
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(file), &st) == 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0640));
        QVERIFY(!root || (st.st_uid == 4321 && st.st_gid == 8765));
    }
}

QTEST_MAIN(TestWaveStor)
#include "tst_wave_stor.moc"
