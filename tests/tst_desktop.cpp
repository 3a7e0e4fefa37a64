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

class TestDesktop : public QObject
{
    Q_OBJECT

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QStringList titles() const
    {
        QStringList t;
        for (TWForm* f : main->forms())
            t << f->windowTitle();
        return t;
    }

    // Installs the build into a temporary prefix once; its path, empty when that failed.
    QString installed()
    {
        QProcess install;
        if (!installOk) {
            install.start(TAVREL_CMAKE_COMMAND, {"--install", TAVREL_BUILD_DIR, "--prefix", prefix.path()});
            installOk = install.waitForFinished(120000) && install.exitStatus() == QProcess::NormalExit &&
                        install.exitCode() == 0;
        }
        if (!installOk)
            qWarning() << install.readAllStandardError();
        return installOk ? prefix.path() : QString();
    }

    QTemporaryDir dir;
    QTemporaryDir prefix;
    bool installOk = false;
    QPointer<MainWnd> main;

private slots:
    void initTestCase()
    {
        startLibrary();
        for (int n : {2, 3})
            QVERIFY(writeRecord(path(n == 2 ? "a.raw" : "b.raw"), n, 1000 * n,
                                [](int ch, int i) { return qint8((i + 10 * ch) % 200 - 100); }));
        QFile bad(path("bad.raw"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("ZORIVRAW and then no header"));
    }
    void init() { QVERIFY(main = makeMainWindow(QSize(1600, 1000))); }
    void cleanup()
    {
        if (main)
            qDeleteAll(main->forms());
        delete main.data();
    }

    void firstWindowFillsTheArea_data()
    {
        QTest::addColumn<bool>("read");
        QTest::newRow("new") << false;
        QTest::newRow("read") << true;
    }
    void firstWindowFillsTheArea()
    {
        QVERIFY(QTest::qWaitForWindowExposed(main));
        QFETCH(bool, read);
        read ? main->openRawPath(path("b.raw")) : main->newWindow();
        QCOMPARE(main->forms().size(), 1);
        TWForm* f = main->forms().first();
        const QRect viewport = main->mdi()->viewport()->rect();
        QCOMPARE(f->pos(), QPoint(0, 0));
        QCOMPARE(f->width(), viewport.width());
        QVERIFY(f->height() >= viewport.height() * 3 / 4);
        QVERIFY(viewport.contains(f->geometry()));
        // The plot inside follows: the record is drawn over the whole width.
        QCOMPARE(f->record->rect.size(), f->plot->size());
    }

    void commandLineOpensEachFile()
    {
        // As a shell gives them: names relative to the working directory, absolute paths, options.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        BoxAnswerer boxes(QMessageBox::Ok, 100); // more than expected: a stray box must not hang
        openCommandLineFiles({"tavrel", "a.raw", "--ignored", "bad.raw", path("b.raw"), "missing.raw"});
        QVERIFY(main->forms().isEmpty());   // not before the event loop runs
        QTRY_COMPARE(boxes.seen.size(), 4); // two for each damaged or missing file
        QTest::qWait(100);
        QDir::setCurrent(previous);
        QCOMPARE(boxes.seen.size(), 4);
        QCOMPARE(titles(), (QStringList{QDir::toNativeSeparators(path("a.raw")),
                                        QDir::toNativeSeparators(path("b.raw"))}));
    }

    void droppedFilesOpen()
    {
        QVERIFY(main->acceptDrops());
        QMimeData files;
        // A link from a browser among them is no file here and is passed over.
        files.setUrls({QUrl::fromLocalFile(path("a.raw")), QUrl(QStringLiteral("https://example.org/c.raw")),
                       QUrl::fromLocalFile(path("b.raw"))});
        const QPoint at = main->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(main, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(main, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(main->forms().size(), 2);
        QCOMPARE(titles()[1], QDir::toNativeSeparators(path("b.raw")));
        QCOMPARE(main->forms()[1]->record->channelCount(), 3);
    }

    void desktopEntryAndIcon()
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
        QVERIFY(
            QSvgRenderer(root + QStringLiteral("/share/icons/hicolor/scalable/apps/tavrel.svg")).isValid());
        QVERIFY(QFileInfo(root + QStringLiteral("/bin/tavrel")).isExecutable());
        // rawtool is installed beside the program and runs from there.
        QCOMPARE(QProcess::execute(root + QStringLiteral("/bin/rawtool"), {"--help"}), 0);

        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty())
            QSKIP("desktop-file-validate (desktop-file-utils) is not installed");
        QProcess p;
        p.start(validator, {entry.fileName()});
        QVERIFY(p.waitForFinished(30000));
        const QByteArray said = p.readAllStandardOutput() + p.readAllStandardError();
        QVERIFY2(p.exitCode() == 0 && said.isEmpty(), said.constData());
    }

    void fileTypeByContent()
    {
        const QString root = installed();
        QVERIFY(!root.isEmpty());
        // As a file manager sees it: a record is known by its first eight bytes whatever its name.
        const QString type = QStringLiteral("application/x-zoriv-raw");
        qputenv("XDG_DATA_DIRS", (root + QStringLiteral("/share:/usr/local/share:/usr/share")).toLocal8Bit());
        QVERIFY(QFile::copy(path("a.raw"), path("record-without-suffix")));
        QMimeDatabase db;
        QCOMPARE(db.mimeTypeForFile(path("record-without-suffix")).name(), type);
        QCOMPARE(db.mimeTypeForFile(path("b.raw")).name(), type);
        QVERIFY(db.mimeTypeForName(type).inherits(QStringLiteral("application/octet-stream")));
        QCOMPARE(db.mimeTypeForName(type).globPatterns(), QStringList{QStringLiteral("*.raw")});
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
