// Error codes: composition, crash codes, hexadecimal text, source-file indices.

#include "build/files_list.h"
#include "umisc.h"

#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_init.h>

#include <QDir>
#include <QtTest>

#include <tuple>

class TestErrorCodes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Without the table every index is 0.
        QCOMPARE(velkit::sourceFileIndex(tavrelFilesList[16]), 0);
        QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
        velkit::registerSourceFiles(tavrelFilesList, tavrelFilesListCount);
    }
    void cleanupTestCase()
    {
        velkit::vlkShutdown();
        QCOMPARE(velkit::sourceFileIndex(tavrelFilesList[16]), 0);
    }

    void hexText()
    {
        const QList<QPair<quint64, QString>> cases = {
            {5, "05"}, {0, "00"}, {0x100D2A602ull, "100d2a602"}, {~quint64(0), "ffffffffffffffff"}};
        for (const auto& [code, text] : cases)
            QCOMPARE(velkit::errorCodeToHex(code), text);
    }

    void compose()
    {
        // Program file 16 is main/src/wave_stor.cpp, by any spelling of its path.
        QVERIFY(QString::fromUtf8(tavrelFilesList[16]).endsWith(QStringLiteral("main/src/wave_stor.cpp")));
        for (const char* path :
             {tavrelFilesList[16], "..\\..\\main\\src\\wave_stor.cpp", "../../main//src/wave_stor.cpp"})
            QCOMPARE(velkit::composeErrorCode(0xA602, path, 210), quint64(0x0000001000D2A602ull));
        // This test file is in no list: index 0, the other fields unchanged.
        const quint64 code = VLK_ERROR_CODE(0xBE02);
        QCOMPARE(code, (quint64(__LINE__ - 1) << 16) | 0xBE02);
        QCOMPARE(velkit::sourceFileIndex(nullptr), 0);
        QCOMPARE(velkit::sourceFileIndex("/elsewhere/src/unknown.cpp"), 0);
    }

    void crashCode()
    {
        // errno clamped to 16 bits; everything above bit 31 of the low half set when that bit is.
        const QList<std::tuple<quint32, int, int, quint64>> cases = {
            {0xC0000005, 0x35, 0, 0x0000000600350005ull},
            {0xC0000005, 0x35, -1, 0xFFFF000600350005ull},
            {0x80000003, 0x35, 0, 0xFFFFFFFFC0350003ull}};
        for (const auto& [exception, line, sysErrno, expected] : cases)
            QCOMPARE(velkit::composeCrashCode(exception, line, sysErrno, 6), expected);
    }
};

QTEST_MAIN(TestErrorCodes)
#include "tst_errorcodes.moc"
