// The program on a desktop: where new waveform windows open and how large, files opened from the
// command line and by dropping them, and the installed menu entry, icon and file type.

#include "boxwatch.h"
#include "k4demo.h"
#include "rs232.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QMdiArea>
#include <QMimeData>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QtTest>

namespace {

qint8 ramp(int ch, int i)
{
    return qint8((i + 10 * ch) % 200 - 100);
}

// The lines "key=value" of a desktop entry's main group.
QHash<QString, QString> desktopEntry(const QString& path)
{
    QHash<QString, QString> keys;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const int eq = int(line.indexOf(QLatin1Char('=')));
        if (eq > 0)
            keys.insert(line.left(eq), line.mid(eq + 1));
    }
    return keys;
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void firstWindowFillsTheArea_data();
    void firstWindowFillsTheArea();
    void furtherWindows();
    void untouchedWindowsFollowTheArea();
    void commandLineOpensEachFile();
    void droppedFilesOpen();
    void desktopEntryAndIcon();
    void fileTypeByContent();

private:
    QMdiArea* area() const { return main->mdi(); }
    // Installs the build into a temporary prefix once; its path, empty when that failed.
    QString installed();

    QTemporaryDir dir;
    QTemporaryDir prefix;
    bool installDone = false;
    bool installOk = false;
    QPointer<MainWnd> main;
};

void TestDesktop::initTestCase()
{
    startLibrary();
    QVERIFY(writeRecord(dir.filePath(QStringLiteral("a.raw")), 2, 3000, ramp));
    QVERIFY(writeRecord(dir.filePath(QStringLiteral("b.raw")), 3, 5000, ramp));
    QFile bad(dir.filePath(QStringLiteral("bad.raw")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("ZORIVRAW and then no header");
}

void TestDesktop::cleanup()
{
    if (main) {
        qDeleteAll(main->forms());
        delete main.data();
    }
}

void TestDesktop::firstWindowFillsTheArea_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("new") << QStringLiteral("new");
    QTest::newRow("read") << QStringLiteral("read");
    QTest::newRow("acquired") << QStringLiteral("acquired");
}

void TestDesktop::firstWindowFillsTheArea()
{
    QFETCH(QString, how);
    main = makeMainWindow(QSize(1600, 1000));
    QVERIFY(main && QTest::qWaitForWindowExposed(main));
    if (how == QLatin1String("new")) {
        main->newWindow();
    } else if (how == QLatin1String("read")) {
        main->openRawPath(dir.filePath(QStringLiteral("b.raw")));
    } else {
        g_link.portName = demoPortName();
        demoUnit().setPaced(false);
        g_acquisitionParameters.halfLength = 1000;
        main->runAcquisition();
    }
    QCOMPARE(main->forms().size(), 1);
    TWForm* f = main->forms().first();
    const QRect viewport = area()->viewport()->rect();
    QVERIFY2(f->width() >= 1200, qPrintable(QString::number(f->width())));
    QCOMPARE(f->pos(), QPoint(0, 0));
    QCOMPARE(f->width(), viewport.width());
    QVERIFY(f->height() >= viewport.height() * 3 / 4);
    QVERIFY(viewport.contains(f->geometry()));
    // The plot inside follows: the record is drawn over the whole width.
    QVERIFY(f->plot->width() >= f->width() - 12);
    QCOMPARE(f->record->rect.width(), f->plot->width());
    QCOMPARE(f->record->rect.height(), f->plot->height());
}

void TestDesktop::furtherWindows()
{
    main = makeMainWindow(QSize(1600, 1000));
    QVERIFY(main && QTest::qWaitForWindowExposed(main));
    // Each further window a little lower, all inside the area however many open.
    QList<TWForm*> windows;
    for (int i = 0; i < 14; ++i)
        windows << main->newWindow();
    const QRect viewport = area()->viewport()->rect();
    QVERIFY(windows[1]->y() > windows[0]->y());
    QCOMPARE(windows[1]->size(), windows[0]->size());
    int backAtTop = 0;
    for (int i = 0; i < windows.size(); ++i) {
        QVERIFY2(viewport.contains(windows[i]->geometry()), qPrintable(windows[i]->windowTitle()));
        backAtTop += i > 0 && windows[i]->y() == 0;
    }
    QCOMPARE(backAtTop, 1);

    // Cascaded: each offset from the one before.
    qDeleteAll(windows.mid(3));
    windows = windows.mid(0, 3);
    main->findChild<QAction*>(QStringLiteral("aCascade"))->trigger();
    for (int i = 1; i < 3; ++i)
        QVERIFY(windows[i]->x() > windows[i - 1]->x() && windows[i]->y() > windows[i - 1]->y());

    // A maximised active window: the next one opens maximised too.
    windows[2]->showMaximized();
    TWForm* next = main->newWindow();
    QVERIFY(next->isMaximized());
    QCOMPARE(main->activeForm(), next);
    next->showNormal(); // restored, it has the size it would have opened with
    QCOMPARE(next->width(), viewport.width());
    QVERIFY(next->height() >= viewport.height() * 3 / 4);
}

void TestDesktop::untouchedWindowsFollowTheArea()
{
    // Windows named on the command line open before the main window has its full size.
    main = makeMainWindow(QSize(837, 606));
    QVERIFY(main && QTest::qWaitForWindowExposed(main));
    TWForm* untouched = main->newWindow();
    TWForm* moved = main->newWindow();
    const QRect placed(40, 30, 500, 300);
    moved->setGeometry(placed);
    main->resize(1600, 1000);
    QTRY_VERIFY(area()->viewport()->width() > 1500);
    QCOMPARE(untouched->width(), area()->viewport()->width());
    QVERIFY(untouched->height() >= area()->viewport()->height() * 3 / 4);
    QCOMPARE(untouched->record->rect.width(), untouched->plot->width());
    QCOMPARE(moved->geometry(), placed);
}

void TestDesktop::commandLineOpensEachFile()
{
    main = makeMainWindow(QSize(1200, 900));
    QVERIFY(main);
    // As a shell gives them: names relative to the working directory, absolute paths, options.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    BoxAnswerer boxes(QMessageBox::Ok, 100); // more than expected: a stray box must not hang
    openCommandLineFiles({QStringLiteral("tavrel"), QStringLiteral("a.raw"), QStringLiteral("--ignored"),
                          QStringLiteral("bad.raw"), dir.filePath(QStringLiteral("b.raw")),
                          QStringLiteral("missing.raw")});
    QVERIFY(main->forms().isEmpty()); // not before the event loop runs
    QTRY_COMPARE(boxes.seen.size(), 4);
    QTest::qWait(100);
    QDir::setCurrent(previous);
    QCOMPARE(boxes.seen.size(), 4);
    QStringList titles;
    for (TWForm* f : main->forms())
        titles << f->windowTitle();
    QCOMPARE(titles, (QStringList{QDir::toNativeSeparators(dir.filePath(QStringLiteral("a.raw"))),
                                  QDir::toNativeSeparators(dir.filePath(QStringLiteral("b.raw")))}));
    // The damaged and the missing file each give the read command's message (after the
    // reader's own report of the failed check).
    QStringList warnings;
    for (const SeenBox& b : boxes.seen)
        if (b.icon == QMessageBox::Warning)
            warnings << b.text;
    QCOMPARE(warnings, QStringList(2, QStringLiteral("Ошибка чтения файла 4")));
}

void TestDesktop::droppedFilesOpen()
{
    main = makeMainWindow(QSize(1200, 900));
    QVERIFY(main);
    QVERIFY(main->acceptDrops());
    QMimeData files;
    // A link from a browser among them is no file here and is passed over.
    files.setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("a.raw"))),
                   QUrl(QStringLiteral("https://example.org/c.raw")),
                   QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.raw")))});
    QMimeData text;
    text.setText(QStringLiteral("a.raw"));
    const QPoint at = main->rect().center();
    QDragEnterEvent textEnter(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(main, &textEnter);
    QVERIFY(!textEnter.isAccepted());
    QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(main, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(main, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(main->forms().size(), 2);
    QCOMPARE(main->forms()[1]->windowTitle(),
             QDir::toNativeSeparators(dir.filePath(QStringLiteral("b.raw"))));
    QCOMPARE(main->forms()[1]->record->channelCount(), 3);
}

QString TestDesktop::installed()
{
    if (!installDone) {
        installDone = true;
        QProcess install;
        install.start(QStringLiteral(TAVREL_CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(TAVREL_BUILD_DIR),
                       QStringLiteral("--prefix"), prefix.path()});
        installOk = install.waitForFinished(120000) && install.exitStatus() == QProcess::NormalExit &&
                    install.exitCode() == 0;
        if (!installOk)
            qWarning() << install.readAllStandardError();
    }
    return installOk ? prefix.path() : QString();
}

void TestDesktop::desktopEntryAndIcon()
{
    const QString root = installed();
    QVERIFY(!root.isEmpty());
    const QHash<QString, QString> entry =
        desktopEntry(root + QStringLiteral("/share/applications/tavrel.desktop"));
    QCOMPARE(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(entry.value(QStringLiteral("Exec")), QStringLiteral("tavrel %F"));
    QVERIFY(entry.value(QStringLiteral("Name")).contains(QStringLiteral("Tavrel")));
    static const QRegularExpression cyrillic(QStringLiteral("[а-яА-Я]"));
    QVERIFY(entry.value(QStringLiteral("Name[ru]")).contains(cyrillic));
    QVERIFY(entry.value(QStringLiteral("MimeType"))
                .split(QLatin1Char(';'))
                .contains(QStringLiteral("application/x-zoriv-raw")));
    // The icon it names is in the hicolor theme and can be drawn.
    QCOMPARE(entry.value(QStringLiteral("Icon")), QStringLiteral("tavrel"));
    QSvgRenderer icon(root + QStringLiteral("/share/icons/hicolor/scalable/apps/tavrel.svg"));
    QVERIFY(icon.isValid());
    QVERIFY(QFileInfo(root + QStringLiteral("/bin/tavrel")).isExecutable());

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate (desktop-file-utils) is not installed");
    QProcess p;
    p.start(validator, {root + QStringLiteral("/share/applications/tavrel.desktop")});
    QVERIFY(p.waitForFinished(30000));
    const QByteArray said = p.readAllStandardOutput() + p.readAllStandardError();
    QVERIFY2(p.exitCode() == 0 && said.isEmpty(), said.constData());
}

void TestDesktop::fileTypeByContent()
{
    const QString root = installed();
    QVERIFY(!root.isEmpty());
    // What a file manager sees with the prefix among its data directories: a record is known by
    // its eight bytes at offset 0 whatever its name, also against other formats that claim "*.raw".
    const QString type = QStringLiteral("application/x-zoriv-raw");
    qputenv("XDG_DATA_DIRS", (root + QStringLiteral("/share:/usr/local/share:/usr/share")).toLocal8Bit());
    const QString record = dir.filePath(QStringLiteral("record-without-suffix"));
    QVERIFY(QFile::copy(dir.filePath(QStringLiteral("a.raw")), record));
    QMimeDatabase db;
    QCOMPARE(db.mimeTypeForFile(record).name(), type);
    QCOMPARE(db.mimeTypeForFile(dir.filePath(QStringLiteral("b.raw"))).name(), type);
    QVERIFY(db.mimeTypeForName(type).inherits(QStringLiteral("application/octet-stream")));
    QCOMPARE(db.mimeTypeForName(type).globPatterns(), QStringList{QStringLiteral("*.raw")});
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
