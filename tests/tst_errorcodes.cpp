// Error codes: composition, crash codes, hexadecimal text, source-file keys and indices.

#include "build/files_list.h"
#include "umisc.h"

#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_files_list.h>
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
        // Exception code, line, errno and the code: errno clamped to 16 bits, and everything above
        // bit 31 of the low half set when that bit is.
        const QList<std::tuple<quint32, int, int, quint64>> cases = {
            {0xC0000005, 0x35, 0, 0x0000000600350005ull},
            {0xC0000005, 0x35, 17, 0x0011000600350005ull},
            {0xC0000094, 1, 0xFFFE, 0xFFFE000600010094ull},
            {0xC0000005, 0x35, -1, 0xFFFF000600350005ull},
            {0x80000003, 0x35, 0, 0xFFFFFFFFC0350003ull}};
        for (const auto& [exception, line, sysErrno, expected] : cases)
            QCOMPARE(velkit::composeCrashCode(exception, line, sysErrno, 6), expected);
    }

    void sourceKey()
    {
        auto key = [](QStringList parts) { return parts.join(QDir::separator()); };
        const QList<QPair<QString, QString>> cases = {
            {"../../../external/libvelkit/src/vlk_init.cpp", key({"libvelkit", "src", "vlk_init.cpp"})},
            {"..\\..\\main\\src\\wave_stor.cpp", key({"main", "src", "wave_stor.cpp"})},
            {"..\\\\..\\\\main\\\\src\\\\wave_stor.cpp", key({"main", "src", "wave_stor.cpp"})},
            {"/home/user/tavrel/include/Velkit/vlk_io.h", key({"include", "Velkit", "vlk_io.h"})},
            {"C:\\work/tavrel\\main/src\\init.cpp", key({"main", "src", "init.cpp"})},
            {"x.h", "x.h"}};
        for (const auto& [path, expected] : cases)
            QCOMPARE(velkit::sourceFileKey(path), expected);
    }

    void everyListedFileHasItsIndex()
    {
        // The program's list was registered last; all of its 37 entries resolve to their own index.
        QCOMPARE(tavrelFilesListCount, 37);
        QCOMPARE(vlkFilesListCount, 21);
        QSet<QString> keys;
        for (const auto& [list, count] :
             {qMakePair(tavrelFilesList, tavrelFilesListCount), qMakePair(vlkFilesList, vlkFilesListCount)}) {
            for (int i = 1; i <= count; ++i) {
                QCOMPARE(velkit::sourceFileIndex(list[i]), i);
                keys.insert(velkit::sourceFileKey(QString::fromUtf8(list[i])));
            }
        }
        // Every key is distinct, so no entry hides another.
        QCOMPARE(keys.size(), tavrelFilesListCount + vlkFilesListCount);
        QVERIFY(
            QString::fromUtf8(vlkFilesList[6]).endsWith(QStringLiteral("libvelkit/src/vlk_winfault.cpp")));
    }
};

QTEST_MAIN(TestErrorCodes)
#include "tst_errorcodes.moc"
