// Crash handling: a helper that crashes on purpose must leave a three-line report in the crash
// directory, show the fatal report and end by its signal; the report's text, the log's name and
// the error codes (composition, crash codes, hexadecimal text, source-file indices) in process.

#include "build/files_list.h"
#include "umisc.h"

#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_winfault.h>

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

struct Run
{
    bool crashed = false;
    int signal = 0;
    QString stderrText;
    quint64 shownCode = 0; // the code at the end of the fatal report; 0 when there is none
};

// Runs the crash helper without a display (no dialog), ten hours east of UTC, and captures its
// standard error.
Run runHelper(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC-10"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TAVREL_BIN_DIR "/crash_helper"), args);
    Run run;
    if (!p.waitForFinished(20000))
        return run;
    run.crashed = p.exitStatus() == QProcess::CrashExit;
    run.signal = run.crashed ? p.exitCode() : 0;
    run.stderrText = QString::fromUtf8(p.readAllStandardError()).trimmed();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("0x([0-9a-f]+)$")).match(run.stderrText);
    run.shownCode = m.captured(1).toULongLong(nullptr, 16);
    return run;
}

QString report(quint32 flags, quint64 address, int params, quint32 code)
{
    char buf[512];
    return QString::fromLatin1(buf,
                               velkit::formatCrashReport(buf, int(sizeof buf), flags, address, params, code));
}

} // namespace

class TestCrash : public QObject
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
    void errorCodes();
    void reportText();
    void texts_data();
    void texts()
    {
        QFETCH(QString, got);
        QTEST(got, "expected");
    }
    void crashWritesLogAndEndsBySignal_data();
    void crashWritesLogAndEndsBySignal();
};

void TestCrash::errorCodes()
{
    const QList<QPair<quint64, QString>> hex = {
        {5, "05"}, {0, "00"}, {0x100D2A602ull, "100d2a602"}, {~quint64(0), "ffffffffffffffff"}};
    for (const auto& [code, text] : hex)
        QCOMPARE(velkit::errorCodeToHex(code), text);
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
    // Crash codes: errno 0 ... 0xFFFE kept, others 0xFFFF; everything above bit 31 of the low half
    // set when that bit is.
    auto crash = [](quint32 code, int sysErrno) { return velkit::composeCrashCode(code, 0x35, sysErrno, 6); };
    QCOMPARE((QList<quint64>{crash(0xC0000005, 0), crash(0xC0000005, 0xFFFE), crash(0xC0000005, -1),
                             crash(0x80000003, 0)}),
             (QList<quint64>{0x0000000600350005ull, 0xFFFE000600350005ull, 0xFFFF000600350005ull,
                             0xFFFFFFFFC0350003ull}));
}

void TestCrash::reportText()
{
    QCOMPARE(report(0, 0x10203040, 2, 0xC0000005u),
             "exeption: continuable, at address:0x10203040\nnumber of parameters: 2\n"
             "code: EXCEPTION_ACCESS_VIOLATION(0xc0000005)\n");
    QCOMPARE(
        report(1, 0, 0, 0xE06D7363u),
        "exeption: noncontinuable, at address:0x0\nnumber of parameters: 0\ncode: 3765269347(0xe06d7363)\n");
    // A short buffer is cut, never overrun.
    char small[16];
    std::memset(small, 'x', sizeof small);
    QCOMPARE(velkit::formatCrashReport(small, 10, 0, 0, 0, 0xC0000005u), 9);
    QCOMPARE(QByteArray(small, 11), QByteArray("exeption:\0x", 11));
}

void TestCrash::texts_data()
{
    // The exception line of the report by code, and the log's name by local time.
    QTest::addColumn<QString>("got");
    QTest::addColumn<QString>("expected");
    const QList<QPair<quint32, const char*>> names = {
        {0xC0000005, "ACCESS_VIOLATION(0xc0000005)"},
        {0xC000008C, "ARRAY_BOUNDS_EXCEEDED(0xc000008c)"},
        {0x80000003, "BREAKPOINT(0x80000003)"},
        {0x80000002, "DATATYPE_MISALIGNMENT(0x80000002)"},
        {0xC000008D, "FLT_DENORMAL_OPERAND(0xc000008d)"},
        {0xC000008E, "FLT_DIVIDE_BY_ZERO(0xc000008e)"},
        {0xC000008F, "FLT_INEXACT_RESULT(0xc000008f)"},
        {0xC0000090, "FLT_INVALID_OPERATION(0xc0000090)"},
        {0xC0000091, "FLT_OVERFLOW(0xc0000091)"},
        {0xC0000092, "FLT_STACK_CHECK(0xc0000092)"},
        {0xC0000093, "FLT_UNDERFLOW(0xc0000093)"},
        {0xC000001D, "ILLEGAL_INSTRUCTION(0xc000001d)"},
        {0xC0000006, "IN_PAGE_ERROR(0xc0000006)"},
        {0xC0000094, "INT_DIVIDE_BY_ZERO(0xc0000094)"},
        {0xC0000095, "INT_OVERFLOW(0xc0000095)"},
        {0xC0000026, "INVALID_DISPOSITION(0xc0000026)"},
        {0xC0000025, "NONCONTINUABLE_EXCEPTION(0xc0000025)"},
        {0xC0000096, "PRIV_INSTRUCTION(0xc0000096)"},
        {0x80000004, "SINGLE_STEP(0x80000004)"},
        {0xC00000FD, "STACK_OVERFLOW(0xc00000fd)"},
    };
    auto line = [](quint32 code) { return report(0, 0, 0, code).section(QLatin1Char('\n'), 2, 2); };
    for (const auto& [code, name] : names)
        QTest::newRow(name) << line(code) << QStringLiteral("code: EXCEPTION_") + QLatin1String(name);
    // Neighbours of named codes have no name.
    QTest::newRow("0xc0000007") << line(0xC0000007) << "code: 3221225479(0xc0000007)";
    QTest::newRow("0x80000001") << line(0x80000001) << "code: 2147483649(0x80000001)";
    auto logName = [](const char* tag, qint64 localSeconds, const char* name) {
        char buf[64];
        QTest::newRow(tag) << QString::fromLatin1(
                                  buf, velkit::formatCrashFileName(buf, int(sizeof buf), localSeconds))
                           << name;
    };
    logName("epoch", 0, "crash_01.01.1970_00_00_00.log");
    logName("a second before", -1, "crash_31.12.1969_23_59_59.log");
    logName("leap day of 2000", 951868799, "crash_29.02.2000_23_59_59.log");
    logName("2100 has no leap day", 4107542400, "crash_01.03.2100_00_00_00.log");
    logName("hours, minutes, seconds", 1234567890, "crash_13.02.2009_23_31_30.log");
}

void TestCrash::crashWritesLogAndEndsBySignal_data()
{
    // The signal, the last two lines of the log, and the fatal report's code: its condition (the
    // exception code + 0x40000000, low 16 bits) and file field (the library's crash source, 6;
    // all ones when bit 31 of the condition is set).
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("condition");
    QTest::addColumn<int>("file");
    auto row = [](const char* mode, int signal, int params, const char* name, int condition, int file) {
        QTest::newRow(mode) << mode << signal
                            << QStringLiteral("number of parameters: %1\ncode: EXCEPTION_%2\n")
                                   .arg(params)
                                   .arg(QLatin1String(name))
                            << condition << file;
    };
    row("null", SIGSEGV, 2, "ACCESS_VIOLATION(0xc0000005)", 0x0005, 6);
    row("div0", SIGFPE, 0, "INT_DIVIDE_BY_ZERO(0xc0000094)", 0x0094, 6);
    row("stack", SIGSEGV, 0, "STACK_OVERFLOW(0xc00000fd)", 0x00FD, 6);
    row("trap", SIGTRAP, 0, "BREAKPOINT(0x80000003)", 0x0003, 0xFFFF);
}

void TestCrash::crashWritesLogAndEndsBySignal()
{
    QFETCH(QString, mode);
    QFETCH(QString, lines);
    QTemporaryDir tmp;
    const QString logDir = tmp.path() + QStringLiteral("/crashes/"); // made by the handler
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(10 * 3600);
    const Run run = runHelper({mode, logDir});
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(10 * 3600);
    QVERIFY2(run.crashed, qPrintable(run.stderrText));
    QTEST(run.signal, "signal");
    const QStringList logs = QDir(logDir).entryList({QStringLiteral("crash_*.log")}, QDir::Files);
    QCOMPARE(logs.size(), 1);
    // Named by the local time of the crash (the helper's zone is ten hours east of UTC).
    const QString format = QStringLiteral("'crash_'dd.MM.yyyy_hh");
    QVERIFY2(logs[0].startsWith(before.toString(format)) || logs[0].startsWith(after.toString(format)),
             qPrintable(logs[0]));
    QFile log(logDir + logs.first());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(log.readAll());
    QVERIFY2(text.startsWith(QStringLiteral("exeption: continuable, at address:0x")), qPrintable(text));
    QCOMPARE(text.section(QLatin1Char('\n'), 1), lines);
    QVERIFY2(run.stderrText.contains(QStringLiteral("TAVREL: ")), qPrintable(run.stderrText));
    QTEST(int(run.shownCode & 0xFFFF), "condition");
    QTEST(int((run.shownCode >> 32) & 0xFFFF), "file");
}

QTEST_MAIN(TestCrash)
#include "tst_crash.moc"
