// The program on a desktop: new windows' size, files from the command line or dropped, file type.

#include "boxwatch.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QMdiArea>
#include <QMimeData>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QtTest>

#include <algorithm>

namespace {

qint8 ramp(int ch, int i)
{
    return qint8((i + 10 * ch) % 200 - 100);
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
}

void TestDesktop::firstWindowFillsTheArea()
{
    QFETCH(QString, how);
    main = makeMainWindow(QSize(1600, 1000));
    QVERIFY(main && QTest::qWaitForWindowExposed(main));
    if (how == QLatin1String("new"))
        main->newWindow();
    else
        main->openRawPath(dir.filePath(QStringLiteral("b.raw")));
    QCOMPARE(main->forms().size(), 1);
    TWForm* f = main->forms().first();
    const QRect viewport = area()->viewport()->rect();
    QCOMPARE(f->pos(), QPoint(0, 0));
    QCOMPARE(f->width(), viewport.width());
    QVERIFY(f->height() >= viewport.height() * 3 / 4);
    QVERIFY(viewport.contains(f->geometry()));
    // The plot inside follows: the record is drawn over the whole width.
    QCOMPARE(f->record->rect.width(), f->plot->width());
    QCOMPARE(f->record->rect.height(), f->plot->height());
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
    QVERIFY(main->forms().isEmpty());   // not before the event loop runs
    QTRY_COMPARE(boxes.seen.size(), 4); // two for each damaged or missing file
    QTest::qWait(100);
    QDir::setCurrent(previous);
    QCOMPARE(boxes.seen.size(), 4);
    QStringList titles;
    for (TWForm* f : main->forms())
        titles << f->windowTitle();
    QCOMPARE(titles, (QStringList{QDir::toNativeSeparators(dir.filePath(QStringLiteral("a.raw"))),
                                  QDir::toNativeSeparators(dir.filePath(QStringLiteral("b.raw")))}));
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
    const QPoint at = main->rect().center();
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
    QFile entry(root + QStringLiteral("/share/applications/tavrel.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = entry.readAll().split('\n');
    for (const char* line : {"Type=Application", "Exec=tavrel %F", "Icon=tavrel"})
        QVERIFY2(lines.contains(line), line);
    QVERIFY(std::any_of(lines.begin(), lines.end(), [](const QByteArray& l) {
        return l.startsWith("MimeType=") && l.contains("application/x-zoriv-raw;");
    }));
    QVERIFY(QSvgRenderer(root + QStringLiteral("/share/icons/hicolor/scalable/apps/tavrel.svg")).isValid());
    QVERIFY(QFileInfo(root + QStringLiteral("/bin/tavrel")).isExecutable());
    // rawtool is installed beside the program and runs from there.
    QProcess tool;
    tool.start(root + QStringLiteral("/bin/rawtool"), {QStringLiteral("--help")});
    QVERIFY(tool.waitForFinished() && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0);

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate (desktop-file-utils) is not installed");
    QProcess p;
    p.start(validator, {entry.fileName()});
    QVERIFY(p.waitForFinished(30000));
    const QByteArray said = p.readAllStandardOutput() + p.readAllStandardError();
    QVERIFY2(p.exitCode() == 0 && said.isEmpty(), said.constData());
}

void TestDesktop::fileTypeByContent()
{
    const QString root = installed();
    QVERIFY(!root.isEmpty());
    // As a file manager sees it: a record is known by its first eight bytes whatever its name.
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
