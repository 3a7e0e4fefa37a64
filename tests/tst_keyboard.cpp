// The window commands from the keyboard right after each kind of modal dialog. Keys go where the
// window system sends them (the open menu, the modal dialog, else the main window, which has the
// keyboard once the dialogs are gone) and Qt routes them on from there, never to an action.

#include <QtTest>

#include "boxwatch.h"
#include "k4demo.h"
#include "rs232.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QDialogButtonBox>
#include <QMdiArea>
#include <QPushButton>

#include <cmath>

namespace {

// Cyrillic capitals of the menus' mnemonics.
constexpr Qt::Key O = Qt::Key(0x41E), Pe = Qt::Key(0x41F), En = Qt::Key(0x41D), Ka = Qt::Key(0x41A),
                  I = Qt::Key(0x418), Ve = Qt::Key(0x412);

// Where the window system delivers a key: to the open menu, else to the modal dialog, else to the
// main window, which has the keyboard once the dialogs are gone.
QWindow* keyWindow(QWidget* main)
{
    QWidget* to = QApplication::activePopupWidget();
    if (!to)
        to = QApplication::activeModalWidget();
    return (to ? to : main)->window()->windowHandle();
}

// Clicks buttons of the next dialogs (not boxes or progress) as they show: by object name, "OK"
// for a button box's.
class Clicks : public QObject
{
public:
    explicit Clicks(QStringList names)
    {
        connect(&timer, &QTimer::timeout, this, [this, names]() mutable {
            QWidget* d = QApplication::activeModalWidget();
            if (!d || !d->isVisible() || d->inherits("UnClosableDialog") || d->inherits("QMessageBox") ||
                names.isEmpty())
                return;
            const QString name = names.takeFirst();
            QAbstractButton* b = d->findChild<QPushButton*>(name);
            if (auto* box = d->findChild<QDialogButtonBox*>(); !b && box)
                b = box->button(QDialogButtonBox::Ok);
            if (b)
                QTest::mouseClick(b, Qt::LeftButton);
        });
        timer.start(5);
    }

private:
    QTimer timer;
};

// The window manager's part, which the offscreen platform leaves out: when a dialog closes, the
// window below it is activated a moment later; Qt's X11 platform hands the activation of a window
// that a modal window blocks on to that modal one. A progress window that comes and goes within a
// run is never activated by the window manager, so its going changes nothing there.
class WindowManager : public QObject
{
public:
    WindowManager() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* d = qobject_cast<QDialog*>(o);
        if (e->type() != QEvent::Hide || !d || !d->isWindow() || d->inherits("UnClosableDialog"))
            return false;
        QPointer<QWidget> below = d->parentWidget() ? d->parentWidget()->window() : nullptr;
        ++pending;
        QTimer::singleShot(0, this, [this, below] {
            QWindow* modal = QGuiApplication::modalWindow();
            if (modal && modal->isVisible())
                modal->requestActivate();
            else if (below)
                below->activateWindow();
            --pending;
        });
        return false;
    }
    // Until the window manager has done what it does and the window system told the program.
    void settle()
    {
        QTRY_VERIFY(pending == 0);
        QCoreApplication::processEvents();
    }

private:
    int pending = 0;
};

qint8 tone(int ch, int i)
{
    return qint8(std::lround(60.0 * std::sin(0.2 * (ch + 1) * i)));
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void windowCommandAfterDialog_data();
    void windowCommandAfterDialog();

private:
    // A key pressed after the window manager has done its part.
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        windowManager.settle();
        // A letter carries its text as from a keyboard (QTest spells only Latin ones).
        const QString text = key >= 0x410 && key <= 0x42F ? QString(QChar(key)).toLower() : QString();
        QTest::sendKeyEvent(QTest::Click, keyWindow(main), key, text, mods);
    }
    // Runs the command through the keys and says whether it did what it does.
    bool windowCommand(const QString& command);

    QTemporaryDir dir;
    QPointer<MainWnd> main;
    WindowManager windowManager;
};

void TestKeyboard::init()
{
    startLibrary();
    main = makeMainWindow(QSize(1000, 700));
    QVERIFY(main && QTest::qWaitForWindowActive(main));
    g_link.portName = demoPortName();
    demoUnit().setPaced(false);
    g_acquisitionParameters.halfLength = 2048;
}

void TestKeyboard::cleanup()
{
    if (main) {
        qDeleteAll(main->forms());
        delete main.data();
    }
}

void TestKeyboard::windowCommandAfterDialog_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("command");
    const QStringList dialogs = {"channels",      "transform progress", "channels and transform progress",
                                 "acquisition",   "message box",        "acquisition settings",
                                 "port settings", "FFT settings",       "record information",
                                 "FFT preview"};
    for (const QString& d : dialogs)
        for (const char* c : {"close", "next", "previous", "tile", "cascade", "minimise", "minimise all"})
            QTest::newRow(qPrintable(d + ", " + c)) << d << QString::fromLatin1(c);
}

void TestKeyboard::windowCommandAfterDialog()
{
    QFETCH(QString, dialog);
    QFETCH(QString, command);
    for (int n = 0; n < 3; ++n) {
        const QString path = dir.filePath(QStringLiteral("k%1.raw").arg(n));
        QVERIFY(writeRecord(path, 4, 4096, tone));
        QVERIFY(main->openRawPath(path));
    }
    TWForm* w = main->activeForm();
    QVERIFY(w);
    w->selStart = 100;
    w->selEnd = 100 + 512;
    auto run = [&](QStringList clicks, Qt::Key key, Qt::KeyboardModifiers mods,
                   Qt::Key item = Qt::Key_unknown) {
        Clicks answer(clicks);
        press(key, mods);
        if (item != Qt::Key_unknown)
            press(item);
    };
    if (dialog == "channels") {
        run({"allOn", "okBtn"}, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(w->changed);
    } else if (dialog.contains("transform progress")) {
        run({}, O, Qt::AltModifier, Pe);
        TWForm* s = main->activeForm();
        QVERIFY(s && s->isSpectrum);
        if (dialog.startsWith("channels")) {
            // A band of the spectrum zeroed, then transformed back into the record.
            s->selStart = 10;
            s->selEnd = 40;
            run({"allOn", "okBtn"}, Qt::Key_Z, Qt::ControlModifier);
            QVERIFY(s->changed);
            const qint8 before = w->record->channel(0)->sample(300);
            run({"allOn", "okBtn"}, O, Qt::AltModifier, O);
            QVERIFY(w->record->channel(0)->sample(300) != before);
        }
    } else if (dialog == "acquisition") {
        run({}, Qt::Key_F9, Qt::NoModifier);
        QVERIFY(w->unsavedRecording);
    } else if (dialog == "message box") {
        w->selEnd = w->selStart;
        BoxAnswerer ok(QMessageBox::Ok);
        press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(ok.seen.size(), 1);
    } else if (dialog == "acquisition settings") {
        run({"OK"}, Qt::Key_A, Qt::ControlModifier);
    } else if (dialog == "port settings") {
        run({"OK"}, Qt::Key_P, Qt::ControlModifier);
    } else if (dialog == "FFT settings") {
        run({"OK"}, O, Qt::AltModifier, En);
    } else if (dialog == "record information") {
        run({"pushButton"}, Qt::Key_I, Qt::ControlModifier);
    } else {
        run({"okBtn"}, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    }
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(windowCommand(command));
}

bool TestKeyboard::windowCommand(const QString& command)
{
    QMdiArea* mdi = main->mdi();
    const QList<QMdiSubWindow*> all = mdi->subWindowList(QMdiArea::CreationOrder);
    QPointer<QMdiSubWindow> active = mdi->activeSubWindow();
    const int i = int(all.indexOf(active));
    if (!active || all.size() < 3)
        return false;
    if (command == "close") {
        // A window with changes asks first; that question shows the command arrived.
        BoxAnswerer keep(QMessageBox::Cancel);
        press(Qt::Key_F4, Qt::ControlModifier);
        return !active || keep.seen.size() == 1;
    }
    if (command == "next" || command == "previous") {
        const bool next = command == "next";
        press(next ? Qt::Key_F6 : Qt::Key_F7, Qt::ControlModifier);
        return mdi->activeSubWindow() == all[(i + (next ? 1 : all.size() - 1)) % all.size()];
    }
    if (command == "tile" || command == "cascade") {
        const bool tile = command == "tile";
        press(tile ? Qt::Key_F4 : Qt::Key_F5, Qt::ShiftModifier);
        // Tiled windows share no pixel; cascaded ones overlap, each a step right of and below the
        // one before.
        QList<QRect> r;
        for (QMdiSubWindow* s : all)
            r << s->geometry();
        std::sort(r.begin(), r.end(), [](const QRect& a, const QRect& b) { return a.x() < b.x(); });
        for (int a = 1; a < r.size(); ++a)
            if (r[a].intersects(r[a - 1]) == tile ||
                (!tile && (r[a].x() == r[a - 1].x() || r[a].y() <= r[a - 1].y())))
                return false;
        return true;
    }
    press(Ka, Qt::AltModifier);
    press(command == "minimise" ? I : Ve);
    for (QMdiSubWindow* s : all)
        if (s->isMinimized() != (s == active || command == "minimise all"))
            return false;
    return true;
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
