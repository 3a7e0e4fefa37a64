// The English interface, started as "tavrel --lang en" starts it: no window title, menu, button,
// label, tool tip, table heading or message holds a Cyrillic letter, and the forms show their
// English texts whole.
//
// The walk finds what it checks by itself, so that new windows are covered without a change here:
// - every command of the main window (its actions) is triggered on a record window with a
//   selection, once with every dialog it opens accepted and once rejected; every modal window
//   that shows is read and answered, every window left open afterwards is read and closed;
// - every .ui form under main/src is loaded and read;
// - every number of the message catalogues that holds a text is read.
// A window that none of these reaches (one opened only from a button of another window, say) is
// added as a row of reachedOtherwise_data(): its name and a function that opens it.
// Texts that stay Russian on purpose are listed in StayRussian with the reason.

#include "ae/hit_table.h"
#include "boxwatch.h"
#include "init.h"
#include "k4demo.h"
#include "rs232.h"
#include "series/series_dialog.h"
#include "series/series_table.h"
#include "textfit.h"
#include "ui_MainWindow.h"
#include "ui_SeriesDialog.h"
#include "uidriver.h"
#include "wave_form.h"

#include <Velkit/vlk_strings.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDirIterator>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSpinBox>
#include <QTabWidget>
#include <QUiLoader>
#include <QXmlStreamReader>
#include <QtTest>

#include <functional>

namespace {

// Shown in Russian whatever the language, and why.
const QStringList StayRussian = {
    QStringLiteral("Русский"), // the language menu names each language in its own
};

bool cyrillic(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x052F)
            return true;
    return false;
}

// Collects the texts a user can read on a window and everything in it that hold a Cyrillic
// letter, each as "where: text".
class Reader
{
public:
    QStringList found;
    int texts = 0; // read, Cyrillic or not

    void text(const QString& where, const QString& t)
    {
        if (t.isEmpty())
            return;
        ++texts;
        if (cyrillic(t) && !StayRussian.contains(QString(t).remove(QLatin1Char('&'))))
            found << where + QStringLiteral(": ") + t;
    }

    void actions(const QString& where, const QList<QAction*>& list)
    {
        for (QAction* a : list) {
            const QString at = where + QLatin1Char('/') + a->objectName();
            text(at, a->text());
            text(at, a->toolTip());
            text(at, a->statusTip());
            text(at, a->whatsThis());
            if (a->menu())
                widget(a->menu(), where);
        }
    }

    void model(const QString& where, QAbstractItemModel* m)
    {
        if (!m)
            return;
        for (int c = 0; c < m->columnCount(); ++c) {
            text(where, m->headerData(c, Qt::Horizontal).toString());
            text(where, m->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString());
        }
        for (int r = 0; r < std::min(m->rowCount(), 50); ++r)
            for (int c = 0; c < m->columnCount(); ++c) {
                text(where, m->index(r, c).data().toString());
                text(where, m->index(r, c).data(Qt::ToolTipRole).toString());
            }
    }

    void widget(QWidget* w, const QString& window)
    {
        for (QWidget* x : QList<QWidget*>{w} + w->findChildren<QWidget*>()) {
            const QString at =
                window + QLatin1Char('/') + x->metaObject()->className() + QLatin1Char(' ') + x->objectName();
            if (x->isWindow() || qobject_cast<QMdiSubWindow*>(x))
                text(at, x->windowTitle());
            text(at, x->toolTip());
            text(at, x->statusTip());
            text(at, x->whatsThis());
            actions(at, x->actions());
            if (auto* l = qobject_cast<QLabel*>(x))
                text(at, l->text());
            if (auto* b = qobject_cast<QAbstractButton*>(x))
                text(at, b->text());
            if (auto* g = qobject_cast<QGroupBox*>(x))
                text(at, g->title());
            if (auto* m = qobject_cast<QMenu*>(x))
                text(at, m->title());
            if (auto* e = qobject_cast<QLineEdit*>(x)) {
                text(at, e->text());
                text(at, e->placeholderText());
            }
            if (auto* c = qobject_cast<QComboBox*>(x))
                for (int i = 0; i < c->count(); ++i)
                    text(at, c->itemText(i));
            if (auto* s = qobject_cast<QSpinBox*>(x)) {
                text(at, s->prefix());
                text(at, s->suffix());
                text(at, s->specialValueText());
            }
            if (auto* s = qobject_cast<QDoubleSpinBox*>(x)) {
                text(at, s->prefix());
                text(at, s->suffix());
                text(at, s->specialValueText());
            }
            if (auto* t = qobject_cast<QTabWidget*>(x))
                for (int i = 0; i < t->count(); ++i)
                    text(at, t->tabText(i));
            if (auto* v = qobject_cast<QAbstractItemView*>(x))
                model(at, v->model());
            if (auto* b = qobject_cast<QMessageBox*>(x)) {
                text(at, b->text());
                text(at, b->informativeText());
                text(at, b->detailedText());
            }
            if (auto* p = qobject_cast<QProgressDialog*>(x))
                text(at, p->labelText());
        }
    }
};

QString windowName(QWidget* w)
{
    return QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
}

// Reads every modal window that shows while it lives and answers it: accepted (a message box by
// its default button) or rejected (by its escape button). Progress windows close by themselves
// and are only read.
class ModalReader : public QObject
{
public:
    ModalReader(Reader& reader, bool accept)
        : m_reader(reader)
        , m_accept(accept)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalReader::poll);
        m_timer.start(5);
    }
    QStringList seen;
    // Runs first on each modal window read; true: it acts on the window itself (later, from the
    // window's own event loop), which is read and answered when it is the active one again.
    std::function<bool(QWidget*)> before;

private:
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == m_last)
            return;
        m_last = w;
        seen << windowName(w);
        m_reader.widget(w, seen.last());
        if (w->inherits("UnClosableDialog") || qobject_cast<QProgressDialog*>(w))
            return;
        if (before && before(w)) {
            m_last = nullptr;
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            QAbstractButton* b =
                m_accept && box->defaultButton() ? box->defaultButton() : box->escapeButton();
            if (!b)
                b = box->buttons().value(0);
            b->click();
            return;
        }
        auto* d = qobject_cast<QDialog*>(w);
        if (!d)
            return;
        if (m_accept)
            d->accept();
        if (d->isVisible()) // a file dialog without a name stays open: nothing to export to
            d->reject();
    }

    Reader& m_reader;
    bool m_accept;
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

// A record with two bursts a channel, 5 MHz, so that hits are found and the spectrum can be made.
QString recordFile(const QString& dir)
{
    const QString path = dir + QStringLiteral("/burst.raw");
    const bool written = writeRecord(path, 2, 8192, [](int ch, int i) {
        const int at = i % 4096;
        return qint8(at > 500 && at < 900 ? (at % 8 < 4 ? 90 - 10 * ch : -90 + 10 * ch) : (i % 3) - 1);
    });
    return written ? path : QString();
}

using Opening = std::function<void(ModalReader&)>;

} // namespace

Q_DECLARE_METATYPE(Opening)

class TestEnglish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void mainWindowAndMenus();
    void catalogueMessages();
    void everyCyrillicLiteralMarked();
    void forms_data();
    void forms();
    void everyCommand_data();
    void everyCommand();
    void reachedOtherwise_data();
    void reachedOtherwise();

private:
    TWForm* recordWindow();
    QList<QWidget*> toolWindows() const;

    QTemporaryDir dir;
    QString record;
    int rows = 0;   // rows of everyCommand
    int walked = 0; // of them run
    QStringList windowsSeen;
};

void TestEnglish::initTestCase()
{
    QVERIFY(dir.isValid());
    g_app = qApp;
    g_appDir = dir.path();
    QApplication::setQuitOnLastWindowClosed(false);
    record = recordFile(dir.path());
    QVERIFY(!record.isEmpty());
    QCOMPARE(initApplication({QStringLiteral("tavrel"), QStringLiteral("--lang"), QStringLiteral("en")}), 0);
    QCOMPARE(g_language, 1);
    QVERIFY(g_mainWnd);
    QVERIFY(QTest::qWaitForWindowExposed(g_mainWnd));
    // Acquisitions come from the emulated unit at once.
    g_link.portName = demoPortName();
    demoUnit().setPaced(false);
}

void TestEnglish::cleanupTestCase()
{
    // The walk (when it ran) reached the windows that only accepted dialogs lead to, and others.
    for (const char* w : {"THitTable", "THitSetDlg", "TSetRecord", "TSelSigDlg", "TPrnDlg", "QMessageBox",
                          "LoadProgress", "QFileDialog", "QColorDialog"})
        QVERIFY2(walked < rows || windowsSeen.filter(QLatin1String(w)).size() > 0, w);
    delete g_mainWnd.data();
    delete g_translator;
    g_translator = nullptr;
    velkit::vlkShutdown();
}

TWForm* TestEnglish::recordWindow()
{
    TWForm* f = g_mainWnd->openRawPath(record);
    if (!f)
        return nullptr;
    g_mainWnd->mdi()->setActiveSubWindow(f);
    f->selStart = 0;
    f->selEnd = 1024;
    f->selLog2 = 10;
    return f;
}

QList<QWidget*> TestEnglish::toolWindows() const
{
    QList<QWidget*> list;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != g_mainWnd && w->isVisible() && !qobject_cast<QMenu*>(w))
            list << w;
    return list;
}

void TestEnglish::mainWindowAndMenus()
{
    QVERIFY(recordWindow());
    Reader r;
    r.widget(g_mainWnd, QStringLiteral("main window"));
    r.actions(QStringLiteral("menu bar"), g_mainWnd->form()->menubar->actions());
    QVERIFY2(r.found.isEmpty(), qPrintable(r.found.join(QLatin1Char('\n'))));
    QVERIFY(r.texts > 100);
    QCOMPARE(g_mainWnd->windowTitle(), QStringLiteral("Data input and processing for ZORIV-K4"));

    // The shortcut letters of the menu bar and of each menu are unique, but in the colour menu,
    // whose four groups give 1 … 4 each, as in Russian.
    QList<QList<QAction*>> menus{g_mainWnd->form()->menubar->actions()};
    for (int i = 0; i < menus.size(); ++i)
        for (QAction* a : menus[i])
            if (a->menu() && a->menu() != g_mainWnd->form()->mColor)
                menus << a->menu()->actions();
    QVERIFY(menus.size() >= 10);
    for (const QList<QAction*>& menu : menus) {
        QStringList letters;
        for (QAction* a : menu)
            if (!a->isSeparator())
                letters << QKeySequence::mnemonic(a->text()).toString();
        QVERIFY2(!letters.contains(QString()) &&
                     QSet<QString>(letters.begin(), letters.end()).size() == letters.size(),
                 qPrintable(letters.join(QLatin1Char(' '))));
    }
}

void TestEnglish::catalogueMessages()
{
    const StringsKit& kit = StringsKit::instance();
    const std::function<QString(int)> kinds[] = {
        [&](int n) { return kit.infoText(n); },
        [&](int n) { return kit.warnText(n); },
        [&](int n) { return kit.questionText(n); },
        [](int n) { return velkit::VlkStringsKit::instance().text(n); },
    };
    const int firsts[] = {0x1400, 0x1500, 0x1700, 0xA500};
    Reader r;
    int messages = 0;
    for (int k = 0; k < 4; ++k)
        for (int n = firsts[k]; n < firsts[k] + 0x100; ++n)
            if (const QString t = kinds[k](n); t != QString::number(n)) {
                ++messages;
                r.text(QString::number(n, 16), t);
            }
    const velkit::VlkStringsKit& library = velkit::VlkStringsKit::instance();
    r.text(QStringLiteral("internal error"), library.internalError);
    r.text(QStringLiteral("fatal error"), library.fatalError);
    QVERIFY2(r.found.isEmpty(), qPrintable(r.found.join(QLatin1Char('\n'))));
    QVERIFY(messages >= 23);
}

// The string literals of a C++ source, escapes resolved; comments and character literals skipped.
static QStringList stringLiterals(const QString& code)
{
    QStringList found;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == QLatin1Char('/') && code.mid(i, 2) == QLatin1String("//")) {
            i = code.indexOf(QLatin1Char('\n'), i);
            if (i < 0)
                break;
        } else if (c == QLatin1Char('/') && code.mid(i, 2) == QLatin1String("/*")) {
            i = code.indexOf(QLatin1String("*/"), i + 2);
            if (i < 0)
                break;
            ++i;
        } else if (c == QLatin1Char('\'')) {
            i = code.indexOf(QLatin1Char('\''), i + (code.mid(i + 1, 1) == QLatin1String("\\") ? 3 : 2));
            if (i < 0)
                break;
        } else if (c == QLatin1Char('"')) {
            QString text;
            for (++i; i < code.size() && code[i] != QLatin1Char('"'); ++i) {
                if (code[i] == QLatin1Char('\\') && i + 1 < code.size()) {
                    ++i;
                    text += code[i] == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : code[i];
                } else {
                    text += code[i];
                }
            }
            found << text;
        }
    }
    return found;
}

// Every Cyrillic string literal of the program's sources is marked for translation: it is (a
// piece of) a source text of the catalogue. The walk cannot reach every text (a message of a
// rare failure, a status text); this finds those that would stay Russian.
void TestEnglish::everyCyrillicLiteralMarked()
{
    QFile ts(QStringLiteral(TAVREL_SOURCE_DIR "/main/src/translations/tavrel_en.ts"));
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QStringList sources;
    QXmlStreamReader xml(&ts);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("source"))
            sources << xml.readElementText();
    QVERIFY2(!xml.hasError() && sources.size() > 250, qPrintable(xml.errorString()));
    QStringList unmarked;
    int literals = 0;
    QDirIterator it(QStringLiteral(TAVREL_SOURCE_DIR "/main/src"),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        QVERIFY(f.open(QIODevice::ReadOnly));
        for (const QString& literal : stringLiterals(QString::fromUtf8(f.readAll()))) {
            if (!cyrillic(literal))
                continue;
            ++literals;
            if (!std::any_of(sources.begin(), sources.end(),
                             [&](const QString& s) { return s.contains(literal); }))
                unmarked << QFileInfo(f.fileName()).fileName() + QStringLiteral(": ") + literal;
        }
    }
    QVERIFY2(unmarked.isEmpty(), qPrintable(unmarked.join(QLatin1Char('\n'))));
    QVERIFY(literals > 50);
}

void TestEnglish::forms_data()
{
    QTest::addColumn<QString>("path");
    QDirIterator it(QStringLiteral(TAVREL_SOURCE_DIR "/main/src"), {QStringLiteral("*.ui")}, QDir::Files,
                    QDirIterator::Subdirectories);
    int n = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
        ++n;
    }
    QVERIFY(n >= 13);
}

static QWidget* loadForm(const QString& path, bool translated)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    QUiLoader loader;
    loader.setTranslationEnabled(translated);
    return loader.load(&file);
}

// The text a widget shows, as textEnd measures it.
static QString shownText(QWidget* w)
{
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    return QString();
}

// Each form as the program's generated code translates it (by the form's class): every text
// read, and every text the catalogue changed shown whole (a Russian text that is cut is
// tst_forms' business).
void TestEnglish::forms()
{
    QFETCH(QString, path);
    std::unique_ptr<QWidget> form(loadForm(path, true));
    const std::unique_ptr<QWidget> russian(loadForm(path, false));
    QVERIFY(form && russian);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    Reader r;
    r.widget(form.get(), form->objectName());
    QVERIFY2(r.found.isEmpty(), qPrintable(r.found.join(QLatin1Char('\n'))));
    QVERIFY(r.texts > 0);
    QStringList cut;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        QWidget* same = russian->findChild<QWidget*>(w->objectName());
        if (w->isVisibleTo(form.get()) && same && shownText(same) != shownText(w) && textEnd(w) > w->width())
            cut << QStringLiteral("%1 (%2 of %3)").arg(w->objectName()).arg(w->width()).arg(textEnd(w));
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(", "))));
}

void TestEnglish::everyCommand_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("accept");
    for (QAction* a : g_mainWnd->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        // Exit ends the program; its texts are read with the menus.
        if (a->objectName().isEmpty() || a->isSeparator() || a->menu() || a == g_mainWnd->form()->aExit)
            continue;
        rows += 2;
        for (const bool accept : {true, false})
            QTest::newRow(qPrintable(a->objectName() +
                                     (accept ? QStringLiteral(" accepted") : QStringLiteral(" rejected"))))
                << a->objectName() << accept;
    }
}

void TestEnglish::everyCommand()
{
    QFETCH(QString, action);
    QFETCH(bool, accept);
    ++walked;
    for (TWForm* f : g_mainWnd->forms())
        delete f;
    QVERIFY(recordWindow());
    auto* a = g_mainWnd->findChild<QAction*>(action, Qt::FindDirectChildrenOnly);
    QVERIFY(a);
    Reader r;
    {
        ModalReader modals(r, accept);
        a->setEnabled(true); // a command the active window does not offer still has its texts
        a->trigger();
        QCoreApplication::processEvents();
        // A series the command started is stopped, as the user would.
        if (g_mainWnd->seriesRunning())
            g_mainWnd->form()->aSeriesStop->trigger();
        QTRY_VERIFY(!g_mainWnd->seriesRunning());
        windowsSeen << modals.seen;
    }
    for (QWidget* w : toolWindows()) {
        windowsSeen << windowName(w);
        r.widget(w, windowName(w));
        w->close();
    }
    r.widget(g_mainWnd, QStringLiteral("main window"));
    QVERIFY2(r.found.isEmpty(), qPrintable(r.found.join(QLatin1Char('\n'))));
    g_mainWnd->refreshActions();
}

void TestEnglish::reachedOtherwise_data()
{
    QTest::addColumn<Opening>("open");
    QTest::newRow("print dialog: SVG export") << Opening([](ModalReader& modals) {
        bool clicked = false;
        modals.before = [&clicked](QWidget* w) {
            auto* b = w->findChild<QPushButton*>(QStringLiteral("exportBtn"));
            if (clicked || !b)
                return false;
            clicked = true;
            QTimer::singleShot(0, b, &QPushButton::click);
            return true;
        };
        g_mainWnd->form()->aPrint->trigger();
        QVERIFY(clicked);
    });
    QTest::newRow("hit table: CSV export") << Opening([](ModalReader&) {
        g_mainWnd->form()->aFindHits->trigger();
        const QList<THitTable*> tables = g_mainWnd->findChildren<THitTable*>();
        QCOMPARE(tables.size(), 1);
        tables[0]->findChild<QPushButton*>(QStringLiteral("exportBtn"))->click();
    });
    QTest::newRow("series table of a folder") << Opening([this](ModalReader& modals) {
        const QString folder = dir.filePath(QStringLiteral("table"));
        QVERIFY(QDir().mkpath(folder) && QFile::copy(record, folder + QStringLiteral("/rec_00001.raw")));
        modals.before = [folder](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            if (d)
                QTimer::singleShot(0, d, [d, folder] { acceptFileDialog(d, folder); });
            return d != nullptr;
        };
        g_mainWnd->form()->aOpenSeries->trigger();
        QVERIFY(g_mainWnd->findChild<TSeriesTable*>());
    });
    QTest::newRow("series of one record") << Opening([this](ModalReader& modals) {
        const QString folder = dir.filePath(QStringLiteral("series"));
        QVERIFY(QDir().mkpath(folder));
        modals.before = [folder](QWidget* w) {
            auto* d = qobject_cast<TSeriesDlg*>(w);
            if (d) {
                d->form()->folderEdit->setText(folder);
                d->form()->countEdit->setValue(1);
            }
            return false; // accepted as it stands now
        };
        g_mainWnd->form()->aSeries->trigger();
        Reader running;
        running.widget(g_mainWnd, QStringLiteral("running series"));
        QVERIFY2(running.found.isEmpty(), qPrintable(running.found.join(QLatin1Char('\n'))));
        QTRY_VERIFY(!g_mainWnd->seriesRunning());
        QVERIFY(QFile::exists(folder + QStringLiteral("/rec_00001.raw")));
    });
}

void TestEnglish::reachedOtherwise()
{
    QFETCH(Opening, open);
    for (TWForm* f : g_mainWnd->forms())
        delete f;
    QVERIFY(recordWindow());
    Reader r;
    {
        ModalReader modals(r, true);
        open(modals);
        QCoreApplication::processEvents();
        QVERIFY(modals.seen.size() > 0);
    }
    for (QWidget* w : toolWindows()) {
        r.widget(w, windowName(w));
        w->close();
    }
    r.widget(g_mainWnd, QStringLiteral("main window"));
    QVERIFY2(r.found.isEmpty(), qPrintable(r.found.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
