// Replays the fuzz corpus (seeds and earlier findings) through both fuzz targets' entry points:
// each file gives the reader result pinned for it, as a record and as a waveform window, and in
// the sanitizer build any bad access or undefined operation fails the test.

#include "critical_reports.h"
#include "rawfile_entry.h"

#include <QDir>
#include <QtTest>

namespace {

// Every file of the corpus with the condition its reading reports, 0 when it reads.
const QList<QPair<QString, int>> Expected = {
    {"blocks-163840.raw", 0},         {"blocks-40000-detector.raw", 0},
    {"blocks-65537.raw", 0},          {"cut-263-bytes.raw", 0xAF02},
    {"cut-7-bytes.raw", 0xA402},      {"cut-channel-header.raw", 0xAD02},
    {"cut-last-samples.raw", 0xAD02}, {"cut-magic-only.raw", 0xAF02},
    {"empty-record.raw", 0},          {"finding-short-header-huge-samples.raw", 0xAF02},
    {"five-channels-envdiff.raw", 0}, {"hostile-narrow.raw", 0},
    {"hostile-window.raw", 0},        {"one-channel.raw", 0},
    {"samples-163841.raw", 0xAD02},   {"six-channels.raw", 0xAC02},
    {"two-channels-detector.raw", 0}, {"wrong-magic.raw", 0xAC02}};

} // namespace

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(startLibraryCollectingReports(this, &m_codes)); }
    void cleanupTestCase()
    {
        QFile::remove(writeFuzzInput(nullptr, 0));
        velkit::vlkShutdown();
    }
    void replay_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("condition");
        const QDir dir(QStringLiteral(TAVREL_FIXTURES "/raw"));
        QStringList unpinned = dir.entryList(QDir::Files, QDir::Name);
        for (const auto& [name, condition] : Expected) {
            QVERIFY2(unpinned.removeOne(name), qPrintable(name + " is missing from the corpus"));
            QTest::newRow(qPrintable(name)) << dir.filePath(name) << condition;
        }
        QVERIFY2(unpinned.isEmpty(), qPrintable("no expected result for " + unpinned.join(", ")));
    }
    void replay()
    {
        QFETCH(QString, path);
        QFETCH(int, condition);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        const QList<int> reported = condition ? QList<int>{condition} : QList<int>{};
        // A crash, a hang or a sanitizer report fails here too.
        for (auto entry : {fuzzRawFileInput, fuzzWaveWindowInput}) {
            m_codes.clear();
            QCOMPARE(entry(data, size_t(bytes.size())), condition == 0);
            QList<int> conditions;
            for (quint64 code : m_codes)
                conditions.append(int(code & 0xFFFF));
            QCOMPARE(conditions, reported);
        }
    }

private:
    QList<quint64> m_codes;
};

QTEST_MAIN(TestFuzzReplay)
#include "tst_fuzz_replay.moc"
