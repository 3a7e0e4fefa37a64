// Program start-up and shutdown: the main window, the hooks, exit codes of failing steps and the
// shutdown slot (the real executable is started by tst_desktop, installed).

#include "boxwatch.h"
#include "fmain.h"
#include "init.h"

#include <Velkit/vlk_errors.h>
#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        g_app = qApp;
        g_appDir = QCoreApplication::applicationDirPath();
    }
    void cleanup()
    {
        g_startupFault = StartupFault::None;
        if (g_mainWnd)
            delete g_mainWnd.data();
        if (g_translator || velkit::libraryMessager()) {
            delete g_translator;
            g_translator = nullptr;
            velkit::vlkShutdown();
        }
    }

    void startsAndShutsDown()
    {
        QCOMPARE(initApplication(QStringList()), 0);
        QPointer<MainWnd> w = g_mainWnd;
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Программа ввода и обработки информации для ZORIV-K4"));
        QVERIFY(w->isVisible() && (w->windowState() & Qt::WindowMaximized));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("tavrel"));
        QVERIFY(g_translator);
        QVERIFY(velkit::libraryHooks().crashLogDirectory().endsWith(QStringLiteral("/tavrel/")));
        // The application's shutdown signals come from its event loop: close the window inside it.
        QTimer::singleShot(0, w, [w] { w->close(); });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
        // Delete-on-close, lastWindowClosed and aboutToQuit: the window goes, the library shuts down.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(w.isNull());
        QVERIFY(!g_translator && !velkit::libraryMessager() && !velkit::sourceFileTable());
    }

    void failingStep_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("condition"); // of the critical error shown; 0: none
        QTest::newRow("translator") << int(StartupFault::Translator) << 0xA00B << 0xA404;
        QTest::newRow("main window") << int(StartupFault::MainWindow) << 0xA008 << 0;
        QTest::newRow("quit signal") << int(StartupFault::QuitSignal) << 0xA00C << 0;
    }
    void failingStep()
    {
        QFETCH(int, fault);
        QFETCH(int, condition);
        BoxAnswerer answer;
        g_startupFault = StartupFault(fault);
        QTEST(initApplication(QStringList()), "exitCode");
        QCOMPARE(bool(g_mainWnd), fault == int(StartupFault::QuitSignal));
        if (!condition)
            return;
        // Reported from main/src/init.cpp, program file index 4.
        QTRY_COMPARE(answer.seen.size(), 1);
        const QString text = answer.seen.first().text;
        const quint64 code = text.mid(text.lastIndexOf(QStringLiteral("0x")) + 2).toULongLong(nullptr, 16);
        QCOMPARE(code & 0xFFFF, quint64(condition));
        QCOMPARE((code >> 32) & 0xFFFF, quint64(4));
        QVERIFY(((code >> 16) & 0xFFFF) > 0);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
