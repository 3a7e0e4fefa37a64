// Crash handling: a helper that crashes on purpose must leave a three-line report in the crash
// directory, show the fatal report and end by its signal. The report formatting itself is
// checked in process.

#include <Velkit/vlk_winfault.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Run
{
    bool signalled = false;
    int signal = 0;
    int exitCode = -1;
    QString stderrText;
};

// Runs the crash helper with DISPLAY removed (no dialog) and captures its standard error.
Run runHelper(const QStringList& args, const QString& errFile)
{
    QList<QByteArray> argBytes;
    argBytes << QByteArray(TAVREL_BIN_DIR "/crash_helper");
    for (const QString& a : args)
        argBytes << a.toLocal8Bit();
    QList<char*> argv;
    for (QByteArray& a : argBytes)
        argv << a.data();
    argv << nullptr;

    QList<QByteArray> envBytes;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!entry.startsWith("DISPLAY=") && !entry.startsWith("WAYLAND_DISPLAY="))
            envBytes << entry;
    }
    QList<char*> envp;
    for (QByteArray& e : envBytes)
        envp << e.data();
    envp << nullptr;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray errPath = errFile.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Run run;
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.signalled = WIFSIGNALED(status);
    run.signal = run.signalled ? WTERMSIG(status) : 0;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QFile f(errFile);
    if (f.open(QIODevice::ReadOnly))
        run.stderrText = QString::fromUtf8(f.readAll());
    return run;
}

// The error code shown in the fatal report.
quint64 shownCode(const QString& text, bool* ok)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("0x([0-9a-f]+)\\s*$")).match(text);
    *ok = m.hasMatch();
    return m.captured(1).toULongLong(ok, 16);
}

} // namespace

class TestCrash : public QObject
{
    Q_OBJECT

private slots:
    void reportText_data();
    void reportText();
    void fileName_data();
    void fileName();

    void crashWritesLogAndEndsBySignal_data();
    void crashWritesLogAndEndsBySignal();
    void fileInPlaceOfDirectoryGivesNoLog();
    void twoCrashesAppendToOneFile();
};

void TestCrash::reportText_data()
{
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<quint64>("address");
    QTest::addColumn<int>("params");
    QTest::addColumn<quint32>("code");
    QTest::addColumn<QString>("expected");
    QTest::newRow("access violation")
        << 0u << quint64(0x10203040) << 2 << 0xC0000005u
        << "exeption: continuable, at address:0x10203040\nnumber of parameters: 2\n"
           "code: EXCEPTION_ACCESS_VIOLATION(0xc0000005)\n";
    QTest::newRow("unnamed code") << 1u << quint64(0) << 0 << 0xE06D7363u
                                  << "exeption: noncontinuable, at address:0x0\nnumber of parameters: 0\n"
                                     "code: 3765269347(0xe06d7363)\n";
}

void TestCrash::reportText()
{
    QFETCH(quint32, flags);
    QFETCH(quint64, address);
    QFETCH(int, params);
    QFETCH(quint32, code);
    QFETCH(QString, expected);
    char buf[512];
    const int len = velkit::formatCrashReport(buf, int(sizeof buf), flags, address, params, code);
    QCOMPARE(QString::fromLatin1(buf, len), expected);
    // A short buffer is cut, never overrun.
    char small[16];
    std::memset(small, 'x', sizeof small);
    QCOMPARE(velkit::formatCrashReport(small, 10, flags, address, params, code), 9);
    QCOMPARE(small[9], '\0');
    QCOMPARE(small[10], 'x');
}

void TestCrash::fileName_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::newRow("leap day") << QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59), Qt::UTC);
    QTest::newRow("century") << QDateTime(QDate(2100, 3, 1), QTime(12, 0, 1), Qt::UTC);
    QTest::newRow("before 1970") << QDateTime(QDate(1969, 7, 20), QTime(20, 17, 40), Qt::UTC);
}

void TestCrash::fileName()
{
    QFETCH(QDateTime, when);
    char buf[64];
    const int len = velkit::formatCrashFileName(buf, int(sizeof buf), when.toSecsSinceEpoch());
    QCOMPARE(QString::fromLatin1(buf, len), QStringLiteral("crash_") +
                                                when.toString(QStringLiteral("dd.MM.yyyy_hh_mm_ss")) +
                                                QStringLiteral(".log"));
}

void TestCrash::crashWritesLogAndEndsBySignal_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("signal");
    QTest::addColumn<quint32>("code");
    QTest::addColumn<int>("params");
    QTest::newRow("null write") << "null" << SIGSEGV << 0xC0000005u << 2;
    QTest::newRow("integer division by zero") << "div0" << SIGFPE << 0xC0000094u << 0;
    QTest::newRow("stack overflow") << "stack" << SIGSEGV << 0xC00000FDu << 0;
    QTest::newRow("raised trap") << "trap" << SIGTRAP << 0x80000003u << 0;
    QTest::newRow("illegal instruction") << "illegal" << SIGILL << 0xC000001Du << 0;
}

void TestCrash::crashWritesLogAndEndsBySignal()
{
    QFETCH(QString, mode);
    QFETCH(int, signal);
    QFETCH(quint32, code);
    QFETCH(int, params);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString logDir = tmp.path() + QStringLiteral("/crashes/"); // made by the handler
    const Run run = runHelper({mode, logDir}, tmp.path() + QStringLiteral("/stderr.txt"));
    QVERIFY2(run.signalled, qPrintable(QStringLiteral("exit %1: %2").arg(run.exitCode).arg(run.stderrText)));
    QCOMPARE(run.signal, signal);

    const QStringList logs = QDir(logDir).entryList({QStringLiteral("crash_*.log")}, QDir::Files);
    QCOMPARE(logs.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^crash_\\d\\d\\.\\d\\d\\.\\d{4}_\\d\\d_\\d\\d_\\d\\d\\.log$"))
                .match(logs.first())
                .hasMatch());
    QFile log(logDir + logs.first());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(log.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4); // three lines, each ending in a line feed
    QVERIFY2(lines[0].startsWith(QStringLiteral("exeption: continuable, at address:0x")),
             qPrintable(lines[0]));
    QCOMPARE(lines[1], QStringLiteral("number of parameters: %1").arg(params));
    QCOMPARE(lines[2], QStringLiteral("code: %1(0x%2)")
                           .arg(QString::fromLatin1(velkit::exceptionName(code)))
                           .arg(code, 0, 16));
    QCOMPARE(lines[3], QString());

    // The fatal report names the code: condition = exception code + 0x40000000, file index of
    // the library's crash source (6), ones above bit 31 when that bit is set.
    QVERIFY2(run.stderrText.contains(QStringLiteral("TAVREL: ")), qPrintable(run.stderrText));
    bool ok = false;
    const quint64 shown = shownCode(run.stderrText.trimmed(), &ok);
    QVERIFY2(ok, qPrintable(run.stderrText));
    QCOMPARE(shown & 0xFFFF, quint64((code + 0x40000000u) & 0xFFFF));
    if ((code + 0x40000000u) & 0x80000000u)
        QCOMPARE(shown >> 32, quint64(0xFFFFFFFFu));
    else
        QCOMPARE((shown >> 32) & 0xFFFF, quint64(6));
}

void TestCrash::fileInPlaceOfDirectoryGivesNoLog()
{
    QTemporaryDir tmp;
    const QString blocker = tmp.path() + QStringLiteral("/crashes");
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a directory");
    f.close();
    const Run run = runHelper({QStringLiteral("null"), blocker + QLatin1Char('/')},
                              tmp.path() + QStringLiteral("/stderr.txt"));
    QVERIFY(run.signalled);
    QCOMPARE(run.signal, SIGSEGV);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("not a directory"));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).size(), 2); // the blocker and stderr.txt
    // Still the fatal report, with EEXIST as the system error.
    bool ok = false;
    const quint64 shown = shownCode(run.stderrText.trimmed(), &ok);
    QVERIFY2(ok, qPrintable(run.stderrText));
    QCOMPARE(shown & 0xFFFF, quint64(0x0005));
    QCOMPARE(shown >> 48, quint64(EEXIST));
}

void TestCrash::twoCrashesAppendToOneFile()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QLatin1Char('/');
    for (const char* mode : {"null", "div0"}) {
        const Run run = runHelper({QString::fromLatin1(mode), dir, QStringLiteral("same.log")},
                                  tmp.path() + QStringLiteral("/stderr.txt"));
        QVERIFY(run.signalled);
    }
    QFile log(dir + QStringLiteral("same.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(log.readAll());
    QCOMPARE(text.count(QLatin1Char('\n')), 6);
    QVERIFY(text.contains(QStringLiteral("EXCEPTION_ACCESS_VIOLATION")));
    QVERIFY(text.contains(QStringLiteral("EXCEPTION_INT_DIVIDE_BY_ZERO")));
}

QTEST_MAIN(TestCrash)
#include "tst_crash.moc"
