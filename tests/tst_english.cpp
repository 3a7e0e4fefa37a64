// The English interface ("tavrel --lang en"): no text shown holds a Cyrillic letter, every form's
// texts show whole in either language. Every command of the main window, .ui form, Cyrillic literal and
// catalogue message is found by the walk itself; windows only another window opens get a row in
// everyWindow_data().

#include "ae/hit_table.h"
#include "boxwatch.h"
#include "init.h"
#include "k4demo.h"
#include "rs232.h"
#include "series/series_run.h"
#include "series/series_table.h"
#include "settings.h"
#include "textfit.h"
#include "ui_MainWindow.h"
#include "uidriver.h"
#include "wave_form.h"

#include <Velkit/vlk_strings.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDirIterator>
#include <QGraphicsObject>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaProperty>
#include <QProgressDialog>
#include <QUiLoader>
#include <QtTest>

namespace {

// Shown in Russian whatever the language, and why.
const QStringList StayRussian = {
    QStringLiteral("Русский"), // the language menu names each language in its own
};

bool cyrillic(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x400 && c.unicode() < 0x530; });
}

// An object's texts holding a Cyrillic letter: text properties, combo items, a view's headings and rows.
void readObject(QObject* o, QStringList& found)
{
    QStringList texts;
    const QMetaObject* m = o->metaObject();
    for (int i = 0; i < m->propertyCount(); ++i)
        if (m->property(i).metaType().id() == QMetaType::QString &&
            qstrcmp(m->property(i).name(), "objectName"))
            texts << m->property(i).read(o).toString();
    if (auto* c = qobject_cast<QComboBox*>(o))
        for (int i = 0; i < c->count(); ++i)
            texts << c->itemText(i);
    if (auto* v = qobject_cast<QAbstractItemView*>(o); v && v->model())
        for (int c = 0; c < v->model()->columnCount(); ++c) {
            texts << v->model()->headerData(c, Qt::Horizontal).toString();
            for (int r = 0; r < std::min(v->model()->rowCount(), 20); ++r)
                texts << v->model()->index(r, c).data().toString();
        }
    for (const QString& t : texts)
        if (cyrillic(t) && !StayRussian.contains(QString(t).remove(QLatin1Char('&'))))
            found << QString::fromLatin1(o->metaObject()->className()) + QLatin1Char(' ') + o->objectName() +
                         QStringLiteral(": ") + t;
}

// A window, its children, their actions, and the objects of a graphics view's items (a chart's axes).
QStringList read(QWidget* w)
{
    QStringList found;
    for (QWidget* x : QList<QWidget*>{w} + w->findChildren<QWidget*>()) {
        readObject(x, found);
        for (QAction* a : x->actions())
            readObject(a, found);
        if (auto* v = qobject_cast<QGraphicsView*>(x); v && v->scene())
            for (QGraphicsItem* item : v->scene()->items())
                if (QGraphicsObject* o = item->toGraphicsObject())
                    for (QObject* y : QList<QObject*>{o} + o->findChildren<QObject*>())
                        readObject(y, found);
    }
    return found;
}

// Reads every modal window shown while it lives, then accepts it (a box by its default button) or
// rejects it (by its escape button); progress windows end by themselves.
class ModalReader : public QObject
{
public:
    explicit ModalReader(bool accept)
        : m_accept(accept)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalReader::poll);
        m_timer.start(5);
    }
    QStringList seen, found;

private:
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == m_last)
            return;
        m_last = w;
        seen << QString::fromLatin1(w->metaObject()->className());
        found << read(w);
        if (w->inherits("UnClosableDialog") || qobject_cast<QProgressDialog*>(w))
            return;
        // From the window's own loop: an answer may show another modal window, read in its turn.
        QTimer::singleShot(0, w, [this, w] { answer(w); });
    }

    void answer(QWidget* w)
    {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            QAbstractButton* b =
                m_accept && box->defaultButton() ? box->defaultButton() : box->escapeButton();
            (b ? b : box->buttons().value(0))->click();
        } else if (auto* d = qobject_cast<QDialog*>(w)) {
            if (m_accept)
                d->accept();
            if (d->isVisible()) // refused what it was given, or a file dialog without a name
                d->reject();
        }
    }

    bool m_accept;
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

QWidget* loadForm(const QString& path, bool translated)
{
    QFile file(path);
    QUiLoader loader;
    loader.setTranslationEnabled(translated);
    return file.open(QIODevice::ReadOnly) ? loader.load(&file) : nullptr;
}

QString shownText(QWidget* w)
{
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    auto* b = qobject_cast<QAbstractButton*>(w);
    return b ? b->text() : QString();
}

// Where the children of w may lie: a titled group's frame below its title, else all of w.
QRect room(QWidget* w)
{
    auto* g = qobject_cast<QGroupBox*>(w);
    if (!g || g->title().isEmpty())
        return w->rect();
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    return g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxContents, g);
}

// A shown form's texts that are cut and its widgets outside their parent's room (the parts of Qt's own
// widgets are theirs to place); given the Russian form, only the texts the catalogue changed, placed or not.
QStringList misfits(QWidget* form, QWidget* russian = nullptr)
{
    QStringList found;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        QWidget* same = russian ? russian->findChild<QWidget*>(w->objectName()) : nullptr;
        if (!w->isVisibleTo(form) || (russian && (!same || shownText(same) == shownText(w))))
            continue;
        if (textEnd(w) > w->width())
            found << QStringLiteral("%1 cut (%2 of %3)").arg(w->objectName()).arg(w->width()).arg(textEnd(w));
        const bool ours = !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"));
        if (!russian && ours && !w->isWindow() && !room(w->parentWidget()).contains(w->geometry()))
            found << QStringLiteral("%1 outside %2").arg(w->objectName(), w->parentWidget()->objectName());
    }
    return found;
}

using Opening = std::function<void()>;

} // namespace

Q_DECLARE_METATYPE(Opening)

class TestEnglish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void catalogueMessages();
    void everyCyrillicLiteralMarked();
    void forms_data();
    void forms();
    void everyWindow_data();
    void everyWindow();

private:
    // Runs open on a fresh record window under a ModalReader; reads the windows left open and the main one.
    QStringList walk(const Opening& open, bool accept);

    QTemporaryDir dir;
    QString record;
    int rows = 0, walked = 0; // of everyWindow
    QStringList windowsSeen;
};

void TestEnglish::initTestCase()
{
    g_app = qApp;
    g_appDir = dir.path();
    QApplication::setQuitOnLastWindowClosed(false);
    // Two bursts a channel, 5 MHz: hits are found and a spectrum can be made.
    record = dir.filePath(QStringLiteral("burst.raw"));
    QVERIFY(writeRecord(record, 2, 8192, [](int ch, int i) {
        const int at = i % 4096;
        return qint8(at > 500 && at < 900 ? (at % 8 < 4 ? 90 - 10 * ch : -90 + 10 * ch) : (i % 3) - 1);
    }));
    QCOMPARE(initApplication({QStringLiteral("tavrel"), QStringLiteral("--lang"), QStringLiteral("en")}), 0);
    QVERIFY(g_language == 1 && QTest::qWaitForWindowExposed(g_mainWnd));
    g_link.portName = demoPortName(); // acquisitions from the emulated unit, at once
    demoUnit().setPaced(false);
}

void TestEnglish::cleanupTestCase()
{
    // The whole walk reached the windows that only accepted dialogs lead to, and others.
    for (const char* w : {"THitTable", "THitSetDlg", "TSetRecord", "TSelSigDlg", "TPrnDlg", "TSeriesDlg",
                          "TLocationDlg", "QMessageBox", "UnClosableDialog", "QFileDialog", "QColorDialog"})
        QVERIFY2(rows == 0 || walked < rows || windowsSeen.contains(QLatin1String(w)), w);
    delete g_mainWnd.data();
    delete g_translator;
    g_translator = nullptr;
    velkit::vlkShutdown();
}

QStringList TestEnglish::walk(const Opening& open, bool accept)
{
    for (TWForm* f : g_mainWnd->forms())
        delete f;
    TWForm* f = g_mainWnd->openRawPath(record);
    if (!f)
        return {QStringLiteral("no record window")};
    g_mainWnd->mdi()->setActiveSubWindow(f);
    f->selStart = 0;
    f->selEnd = 1024;
    f->selLog2 = 10;
    QStringList found;
    {
        ModalReader modals(accept);
        open();
        QCoreApplication::processEvents();
        if (g_mainWnd->seriesRunning()) // stopped, as the user would
            g_mainWnd->form()->aSeriesStop->trigger();
        if (!QTest::qWaitFor([] { return !g_mainWnd->seriesRunning(); }))
            found << QStringLiteral("the series does not stop");
        windowsSeen << modals.seen;
        found << modals.found;
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != g_mainWnd && w->isVisible() && !qobject_cast<QMenu*>(w)) {
            windowsSeen << QString::fromLatin1(w->metaObject()->className());
            found << read(w);
            w->close();
        }
    return found << read(g_mainWnd);
}

void TestEnglish::catalogueMessages()
{
    const StringsKit& kit = StringsKit::instance();
    const velkit::VlkStringsKit& library = velkit::VlkStringsKit::instance();
    QStringList texts{library.internalError, library.fatalError};
    for (int n = 0; n < 0x100; ++n)
        for (const QString& t : {kit.infoText(0x1400 + n), kit.warnText(0x1500 + n),
                                 kit.questionText(0x1700 + n), library.text(0xA500 + n)})
            if (t.toInt() == 0) // a number the catalogue does not hold gives its decimal form
                texts << t;
    QVERIFY(texts.size() >= 35);
    QCOMPARE(texts.filter(QRegularExpression(QStringLiteral("[\\x{400}-\\x{52F}]"))), QStringList());
}

// For what the walk cannot reach: every Cyrillic literal of the sources is in the catalogue.
void TestEnglish::everyCyrillicLiteralMarked()
{
    QFile ts(QStringLiteral(TAVREL_SOURCE_DIR "/main/src/translations/tavrel_en.ts"));
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QString catalogue = QString::fromUtf8(ts.readAll());
    for (const auto& [entity, c] : {std::pair{"&quot;", "\""}, {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}})
        catalogue.replace(QLatin1String(entity), QLatin1String(c));
    const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    QStringList unmarked;
    int literals = 0;
    QDirIterator it(QStringLiteral(TAVREL_SOURCE_DIR "/main/src"),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        QVERIFY(f.open(QIODevice::ReadOnly));
        for (QString line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            line.remove(QStringLiteral("'\"'")).remove(QStringLiteral("'\\\"'"));
            if (!cyrillic(line) || line.trimmed().startsWith(QLatin1String("//")))
                continue;
            for (const QRegularExpressionMatch& m : literal.globalMatch(line)) {
                const QString text = m.captured(1)
                                         .replace(QStringLiteral("\\n"), QStringLiteral("\n"))
                                         .replace(QStringLiteral("\\\""), QStringLiteral("\""))
                                         .replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
                literals += cyrillic(text);
                if (cyrillic(text) && !catalogue.contains(text))
                    unmarked << QFileInfo(f.fileName()).fileName() + QStringLiteral(": ") + text;
            }
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
    while (it.hasNext()) {
        const QString path = it.next();
        QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
    }
}

// Each form at the default font, as the user first sees it: in Russian every text whole and every
// widget inside its parent; translated by its class, no Cyrillic and every changed text whole.
void TestEnglish::forms()
{
    QFETCH(QString, path);
    const std::unique_ptr<QWidget> form(loadForm(path, true)), russian(loadForm(path, false));
    QVERIFY(form && russian);
    form->show();
    russian->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()) && QTest::qWaitForWindowExposed(russian.get()));
    const QStringList found = read(form.get()) + misfits(russian.get()) + misfits(form.get(), russian.get());
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
}

// Every command of the main window, its dialogs accepted, then rejected; then windows opened by others.
void TestEnglish::everyWindow_data()
{
    QTest::addColumn<Opening>("open");
    QTest::addColumn<bool>("accept");
    for (QAction* a : g_mainWnd->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        // Exit ends the program; its texts are read with the menus.
        if (a->objectName().isEmpty() || a->isSeparator() || a->menu() || a == g_mainWnd->form()->aExit)
            continue;
        rows += 2;
        for (const bool accept : {true, false})
            QTest::newRow(qPrintable(a->objectName() + (accept ? " accepted" : " rejected"))) << Opening([a] {
                a->setEnabled(true); // a command the window does not offer still has its texts
                a->trigger();
            }) << accept;
    }
    QTest::newRow("hit table: CSV export") << Opening([] {
        g_mainWnd->form()->aFindHits->trigger();
        g_mainWnd->findChild<THitTable*>()->findChild<QPushButton*>(QStringLiteral("exportBtn"))->click();
    }) << true;
    QTest::newRow("hit table: plots, PNG") << Opening([] {
        g_mainWnd->form()->aFindHits->trigger();
        g_mainWnd->findChild<THitTable*>()->findChild<QPushButton*>(QStringLiteral("plotsBtn"))->click();
        g_mainWnd->findChild<QPushButton*>(QStringLiteral("pngBtn"))->click();
    }) << true;
    QTest::newRow("location window") << Opening([] {
        const double none = std::numeric_limits<double>::quiet_NaN(); // no y: a line
        g_locationSetup.channels[0] = {true, 0.0, none};
        g_locationSetup.channels[1] = {true, 1.0, none};
        g_mainWnd->form()->aLocate->trigger();
        g_mainWnd->findChild<QPushButton*>(QStringLiteral("exportMapBtn"))->click();
    }) << true;
    QTest::newRow("series table") << Opening([this] { g_mainWnd->openSeriesFolder(dir.path()); }) << true;
    QTest::newRow("series of one record") << Opening([this] {
        series::Settings s;
        s.folder = dir.filePath(QStringLiteral("series"));
        s.count = 1;
        QDir().mkpath(s.folder);
        g_mainWnd->startSeries(s);
        QTRY_VERIFY(!g_mainWnd->seriesRunning());
    }) << true;
    QTest::newRow("series table: plots") << Opening([this] {
        g_mainWnd->openSeriesFolder(dir.filePath(QStringLiteral("series")))
            ->findChild<QPushButton*>(QStringLiteral("plotsBtn"))
            ->click();
    }) << true;
}

void TestEnglish::everyWindow()
{
    QFETCH(Opening, open);
    QFETCH(bool, accept);
    ++walked;
    const QStringList found = walk(open, accept);
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
