// Error codes: composition, crash codes, hexadecimal text, source-file keys and indices.

#include "build/files_list.h"
#include "umisc.h"

#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_files_list.h>
#include <Velkit/vlk_init.h>

#include <QDir>
#include <QtTest>

class TestErrorCodes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void hexText_data();
    void hexText();
    void composeWorkedExample();
    void unknownFileGivesIndexZero();
    void crashCode_data();
    void crashCode();
    void sourceKey_data();
    void sourceKey();
    void everyListedFileHasItsIndex();
};

void TestErrorCodes::initTestCase()
{
    // Without the table every index is 0.
    QCOMPARE(velkit::sourceFileIndex(tavrelFilesList[16]), 0);
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    velkit::registerSourceFiles(tavrelFilesList, tavrelFilesListCount);
}

void TestErrorCodes::cleanupTestCase()
{
    velkit::vlkShutdown();
    QCOMPARE(velkit::sourceFileIndex(tavrelFilesList[16]), 0);
}

void TestErrorCodes::hexText_data()
{
    QTest::addColumn<quint64>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("one digit gets a zero") << quint64(5) << "05";
    QTest::newRow("zero") << quint64(0) << "00";
    QTest::newRow("worked example") << quint64(0x0000001000D2A602ull) << "1000d2a602";
    QTest::newRow("all ones") << ~quint64(0) << "ffffffffffffffff";
}

void TestErrorCodes::hexText()
{
    QFETCH(quint64, code);
    QFETCH(QString, text);
    QCOMPARE(velkit::errorCodeToHex(code), text);
}

void TestErrorCodes::composeWorkedExample()
{
    // Program file 16 is main/src/wave_stor.cpp.
    QVERIFY(QString::fromUtf8(tavrelFilesList[16]).endsWith(QStringLiteral("main/src/wave_stor.cpp")));
    QCOMPARE(velkit::composeErrorCode(0xA602, tavrelFilesList[16], 210), quint64(0x0000001000D2A602ull));
    // The same file named by a relative or a Windows-style path has the same key.
    QCOMPARE(velkit::composeErrorCode(0xA602, "..\\..\\main\\src\\wave_stor.cpp", 210),
             quint64(0x0000001000D2A602ull));
    QCOMPARE(velkit::composeErrorCode(0xA602, "../../main//src/wave_stor.cpp", 210),
             quint64(0x0000001000D2A602ull));
}

void TestErrorCodes::unknownFileGivesIndexZero()
{
    // This test file is in no list: index 0, the other fields unchanged.
    const quint64 code = VLK_ERROR_CODE(0xBE02);
    QCOMPARE(code & 0xFFFF, quint64(0xBE02));
    QCOMPARE((code >> 16) & 0xFFFF, quint64(__LINE__ - 2));
    QCOMPARE(code >> 32, quint64(0));
    QCOMPARE(velkit::sourceFileIndex(nullptr), 0);
    QCOMPARE(velkit::sourceFileIndex("/elsewhere/src/unknown.cpp"), 0);
}

void TestErrorCodes::crashCode_data()
{
    QTest::addColumn<quint32>("exception");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("sysErrno");
    QTest::addColumn<quint64>("expected");
    QTest::newRow("access violation") << quint32(0xC0000005) << 0x35 << 0 << quint64(0x0000000600350005ull);
    QTest::newRow("errno kept") << quint32(0xC0000005) << 0x35 << 17 << quint64(0x0011000600350005ull);
    QTest::newRow("errno 0xFFFE kept")
        << quint32(0xC0000094) << 1 << 0xFFFE << quint64(0xFFFE000600010094ull);
    QTest::newRow("errno -1 clamped") << quint32(0xC0000005) << 0x35 << -1 << quint64(0xFFFF000600350005ull);
    // Bit 31 of the low half set: everything above comes out as ones.
    QTest::newRow("breakpoint") << quint32(0x80000003) << 0x35 << 0 << quint64(0xFFFFFFFFC0350003ull);
}

void TestErrorCodes::crashCode()
{
    QFETCH(quint32, exception);
    QFETCH(int, line);
    QFETCH(int, sysErrno);
    QFETCH(quint64, expected);
    QCOMPARE(velkit::composeCrashCode(exception, line, sysErrno, 6), expected);
}

void TestErrorCodes::sourceKey_data()
{
    const QString s = QDir::separator();
    auto key = [&](QStringList parts) { return parts.join(s); };
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("key");
    QTest::newRow("library relative")
        << "../../../external/libvelkit/src/vlk_init.cpp" << key({"libvelkit", "src", "vlk_init.cpp"});
    QTest::newRow("backslashes") << "..\\..\\main\\src\\wave_stor.cpp"
                                 << key({"main", "src", "wave_stor.cpp"});
    QTest::newRow("doubled backslashes")
        << "..\\\\..\\\\main\\\\src\\\\wave_stor.cpp" << key({"main", "src", "wave_stor.cpp"});
    QTest::newRow("doubled slashes") << "a//b///main//src/wave_stor.cpp"
                                     << key({"main", "src", "wave_stor.cpp"});
    QTest::newRow("absolute") << "/home/user/tavrel/include/Velkit/vlk_io.h"
                              << key({"include", "Velkit", "vlk_io.h"});
    QTest::newRow("mixed") << "C:\\work/tavrel\\main/src\\init.cpp" << key({"main", "src", "init.cpp"});
    QTest::newRow("two components") << "src/x.h" << key({"src", "x.h"});
    QTest::newRow("one component") << "x.h"
                                   << "x.h";
}

void TestErrorCodes::sourceKey()
{
    QFETCH(QString, path);
    QFETCH(QString, key);
    QCOMPARE(velkit::sourceFileKey(path), key);
}

void TestErrorCodes::everyListedFileHasItsIndex()
{
    // The program's list was registered last; all of its 37 entries resolve to their own index.
    QCOMPARE(tavrelFilesListCount, 37);
    for (int i = 1; i <= tavrelFilesListCount; ++i)
        QCOMPARE(velkit::sourceFileIndex(tavrelFilesList[i]), i);
    QVERIFY(QString::fromUtf8(tavrelFilesList[18]).endsWith(QStringLiteral("build/files_list.cpp")));
    QVERIFY(QString::fromUtf8(tavrelFilesList[36]).endsWith(QStringLiteral("build/hgversion.h")));
    QVERIFY(QString::fromUtf8(tavrelFilesList[37]).endsWith(QStringLiteral("build/files_list.h")));

    QCOMPARE(vlkFilesListCount, 21);
    for (int i = 1; i <= vlkFilesListCount; ++i)
        QCOMPARE(velkit::sourceFileIndex(vlkFilesList[i]), i);
    QVERIFY(QString::fromUtf8(vlkFilesList[6]).endsWith(QStringLiteral("libvelkit/src/vlk_winfault.cpp")));
    QVERIFY(QString::fromUtf8(vlkFilesList[7]).endsWith(QStringLiteral("build/include/vlk_files_list.cpp")));
    QVERIFY(QString::fromUtf8(vlkFilesList[21]).endsWith(QStringLiteral("include/Velkit/vlk_files_list.h")));
    // Every key is distinct, so no entry hides another.
    QSet<QString> keys;
    for (int i = 1; i <= tavrelFilesListCount; ++i)
        keys.insert(velkit::sourceFileKey(QString::fromUtf8(tavrelFilesList[i])));
    for (int i = 1; i <= vlkFilesListCount; ++i)
        keys.insert(velkit::sourceFileKey(QString::fromUtf8(vlkFilesList[i])));
    QCOMPARE(keys.size(), tavrelFilesListCount + vlkFilesListCount);
}

QTEST_MAIN(TestErrorCodes)
#include "tst_errorcodes.moc"
