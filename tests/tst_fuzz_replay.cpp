// Replays the raw-file fuzz corpus (seeds and earlier findings) through the fuzz target's entry
// point; in the sanitizer build any bad access or undefined operation fails the test.

#include "rawfile_entry.h"

#include <QDir>
#include <QtTest>

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void replay_data()
    {
        QTest::addColumn<QString>("path");
        const QDir dir(QStringLiteral(TAVREL_FIXTURES "/raw"));
        const QStringList names = dir.entryList(QDir::Files, QDir::Name);
        QVERIFY2(names.size() >= 10, "the seed corpus is missing");
        for (const QString& name : names)
            QTest::newRow(qPrintable(name)) << dir.filePath(name);
    }
    void replay()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // A crash, a hang or a sanitizer report is the failure here.
        fuzzRawFileInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size()));
    }
};

QTEST_MAIN(TestFuzzReplay)
#include "tst_fuzz_replay.moc"
