// The main window: its form, tool bar and status bar, the checks of its set-up, the action
// states for the active window, the file and window commands, the controls that mirror the
// active window, and quitting with open windows.

#include <QtTest>

#include "k4demo.h"
#include "rs232.h"
#include "tst_mainwnd_support.h"
#include "ui_MainWindow.h"

#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolBar>

class TestMainWnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menus();
    void everyKeyReachesOneAction();
    void sharedKeysReachTheirAction();
    void toolBar();
    void statusFrame();

    void setupFault_data();
    void setupFault();
    void setupChecksShareOneReport();
    void connectionsAreUnique();

    void refreshActions_data();
    void refreshActions();

    void newWindowsAreNumbered();
    void readOpensWindowAndSlidersFollow();
    void readThroughTheDialog();
    void corruptFileOpensNothing();
    void savePath_data();
    void savePath();
    void saveWritesAndRetitles();
    void saveRewritesExistingFile();
    void failingSaveWarns();

    void zoomKeepsItsWidthAndSliderFollows();
    void slidersReachTheActiveWindow();
    void activationMirrorsTheWindow();
    void filterMarks();
    void unitMarksFollowTheSetter();
    void readouts();
    void windowCommands();

    void acquisitionMakesOrReusesAWindow();
    void failedAcquisition_data();
    void failedAcquisition();
    void stopAbortsTheLink();
    void settingsCommandsOpenTheirDialogs();

    void quitAsksAndCanBeCancelled();
    void quitClosesSpectrumBeforeSource();
    void quitRefusedBySpectrumKeepsEverything();

private:
    TWForm* addWindow(int channels, int length);

    QTemporaryDir dir;
    QPointer<MainWnd> main;
    int fileNumber = 0;
};

void TestMainWnd::initTestCase()
{
    QVERIFY(dir.isValid());
    QApplication::setQuitOnLastWindowClosed(false);
    support::startLibrary();
}

void TestMainWnd::init()
{
    g_mainSetupFault = MainSetupFault::None;
    g_missingAction.clear();
    main = support::makeMainWindow();
    QVERIFY(main);
}

void TestMainWnd::cleanup()
{
    g_mainSetupFault = MainSetupFault::None;
    g_missingAction.clear();
    if (main) {
        for (TWForm* f : main->forms())
            delete f;
        delete main.data();
    }
}

TWForm* TestMainWnd::addWindow(int channels, int length)
{
    const QString path = dir.filePath(QStringLiteral("w%1.raw").arg(++fileNumber));
    if (support::writeRecordFile(path, channels, length) != 0)
        return nullptr;
    return main->openRawPath(path);
}

// ---- the form --------------------------------------------------------------------------------

void TestMainWnd::menus()
{
    Ui::MainWindow* ui = main->form();
    auto layout = [](const QWidget* w) {
        QStringList items;
        for (QAction* a : w->actions()) {
            if (a->isSeparator())
                items << QStringLiteral("|");
            else if (a->menu())
                items << a->menu()->objectName();
            else
                items << a->objectName();
        }
        return items.join(QLatin1Char(' '));
    };
    QCOMPARE(layout(ui->menubar),
             QStringLiteral("mFile mSettings mZoom mColor mFilters mProcessing mWindow mHelp"));
    QCOMPARE(layout(ui->mFile), QStringLiteral("aNew aRead aSave | aInfo | aPrint | aExit"));
    QCOMPARE(layout(ui->mSettings), QStringLiteral("aRunADC aADC aSin aCOM aCfgSave | mDim"));
    QCOMPARE(layout(ui->mDim), QStringLiteral("aVolt aCoulomb"));
    QCOMPARE(layout(ui->mZoom), QStringLiteral("aZoomIn aZoomOut aZoomSel"));
    QCOMPARE(layout(ui->mColor),
             QStringLiteral("aSetGC1 aSetGC2 aSetGC3 aSetGC4 | aSetCC1 aSetCC2 aSetCC3 aSetCC4 | "
                            "aSetTC1 aSetTC2 aSetTC3 aSetTC4 | aSetBC1 aSetBC2 aSetBC3 aSetBC4"));
    QCOMPARE(layout(ui->mFilters), QStringLiteral("aPower aDetect aFiltering aDiff"));
    QCOMPARE(layout(ui->mProcessing),
             QStringLiteral("aZeroSign aFFTView aDirectFFT aReverseFFT aSetFFT aSrcMax aAverage"));
    QCOMPARE(layout(ui->mWindow),
             QStringLiteral("aCascade aTile | aNext aPrev | aClose aMin | aMinimizeAll"));
    QCOMPARE(layout(ui->mHelp), QStringLiteral("aAbout"));

    const QStringList titles = {QStringLiteral("&Файлы"),   QStringLiteral("&Настройки"),
                                QStringLiteral("&Масштаб"), QStringLiteral("&Цвета"),
                                QStringLiteral("Ф&ильтры"), QStringLiteral("&Обработка"),
                                QStringLiteral("О&кно"),    QStringLiteral("&Справка")};
    QStringList got;
    for (QAction* a : ui->menubar->actions())
        got << a->text();
    QCOMPARE(got, titles);
    QCOMPARE(ui->mDim->title(), QStringLiteral("Размерность по Y"));
    QCOMPARE(main->windowTitle(), QStringLiteral("Программа ввода и обработки информации для ZORIV-K4"));
    QCOMPARE(ui->toolBar->windowTitle(), QStringLiteral("Панель инструментов"));
    QCOMPARE(main->toolBarArea(ui->toolBar), Qt::TopToolBarArea);
}

void TestMainWnd::everyKeyReachesOneAction()
{
    QHash<QString, QString> owner;
    for (QAction* a : main->findChildren<QAction*>()) {
        for (const QKeySequence& k : a->shortcuts()) {
            const QString key = k.toString(QKeySequence::PortableText);
            QVERIFY2(!owner.contains(key), qPrintable(key + QStringLiteral(": ") + owner.value(key) +
                                                      QStringLiteral(" and ") + a->objectName()));
            owner.insert(key, a->objectName());
        }
    }
    QCOMPARE(owner.value(QStringLiteral("Ctrl+P")), QStringLiteral("aCOM"));
    QCOMPARE(owner.value(QStringLiteral("Ctrl+F")), QStringLiteral("aFiltering"));
}

void TestMainWnd::sharedKeysReachTheirAction()
{
    TWForm* f = main->newWindow();
    QVERIFY(f);
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    Ui::MainWindow* ui = main->form();
    QSignalSpy com(ui->aCOM, &QAction::triggered);
    QSignalSpy diff(ui->aDiff, &QAction::triggered);
    QSignalSpy smoothing(ui->aFiltering, &QAction::triggered);
    QSignalSpy preview(ui->aFFTView, &QAction::triggered);
    {
        // Ctrl+P opens the port dialog.
        support::ModalDriver<QDialog> portDialog([](QDialog* d) { d->reject(); });
        QTest::keyClick(main, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(portDialog.handled, 1);
    }
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    QTest::keyClick(main, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(com.count(), 1);
    QCOMPARE(smoothing.count(), 1);
    QCOMPARE(diff.count(), 0);
    QCOMPARE(preview.count(), 0);
    // Smoothing reached the active window's record.
    int mode = -1;
    f->record->filter(&mode);
    QCOMPARE(mode, 2);
}

void TestMainWnd::toolBar()
{
    Ui::MainWindow* ui = main->form();
    const QList<QAction*> items = ui->toolBar->actions();
    QCOMPARE(items.size(), 8);
    QCOMPARE(ui->toolBar->widgetForAction(items[0]), main->zoomPanel);
    QCOMPARE(items[1], ui->aRunADC);
    QCOMPARE(items[2], ui->aADC);
    QVERIFY(items[3]->isSeparator());
    QCOMPARE(ui->toolBar->widgetForAction(items[4]), static_cast<QWidget*>(main->FltEdit));
    QCOMPARE(items[5], main->aExport);
    QCOMPARE(items[6], main->aCentering);
    QCOMPARE(items[7], main->aSelectMode);

    QCOMPARE(main->zoomPanel->size(), QSize(139, 38));
    QCOMPARE(main->zoomPanel->minimumSize(), QSize(139, 38));
    QCOMPARE(main->zoomPanel->maximumSize(), QSize(139, 38));
    struct Bar
    {
        QScrollBar* bar;
        QLabel* label;
        QRect geometry;
        int min, max, single, page;
        QString tip;
    };
    const Bar bars[] = {
        {main->sbZY, main->sbZYLabel, QRect(2, 2, 95, 15), 4, 400, 4, 40,
         QStringLiteral("Масштаб по вертикали")},
        {main->sbZX, main->sbZXLabel, QRect(2, 19, 95, 15), 1, 100, 1, 10,
         QStringLiteral("Растяжка по горизонтали")},
    };
    for (const Bar& b : bars) {
        QCOMPARE(b.bar->parentWidget(), main->zoomPanel);
        QCOMPARE(b.bar->geometry(), b.geometry);
        QCOMPARE(b.bar->orientation(), Qt::Horizontal);
        QCOMPARE(b.bar->minimum(), b.min);
        QCOMPARE(b.bar->maximum(), b.max);
        QCOMPARE(b.bar->singleStep(), b.single);
        QCOMPARE(b.bar->pageStep(), b.page);
        QCOMPARE(b.bar->value(), 100);
        QCOMPARE(b.bar->toolTip(), b.tip);
        QVERIFY(!b.bar->hasTracking());
        QCOMPARE(b.bar->focusPolicy(), Qt::WheelFocus);
        QCOMPARE(b.label->geometry(), QRect(b.geometry.right() + 2, b.geometry.y(), 40, 15));
        QCOMPARE(b.label->text(), QStringLiteral("100%"));
    }
    // The tool-bar pictures come from the resources.
    for (QAction* a : {ui->aRunADC, ui->aADC, main->aExport, main->aCentering, main->aSelectMode})
        QVERIFY2(!a->icon().pixmap(24, 24).isNull(), qPrintable(a->objectName()));
    QCOMPARE(main->aExport->text(), QStringLiteral("Буфер"));
    QCOMPARE(main->aExport->toolTip(), QStringLiteral("Сохранить времена в буфере"));
    QCOMPARE(main->aCentering->toolTip(), QStringLiteral("Установить курсоры по центру экрана"));
    QCOMPARE(main->aSelectMode->toolTip(), QStringLiteral("Переключатель режима выделения"));
    QVERIFY(main->aSelectMode->isCheckable());
    QCOMPARE(main->FltEdit->minimum(), 0);
    QCOMPARE(main->FltEdit->maximum(), 125);
    QCOMPARE(main->FltEdit->value(), 1);
    QCOMPARE(main->FltEdit->height(), 24);
    QCOMPARE(main->FltEdit->toolTip(), QStringLiteral("Параметр сглаживания"));
}

void TestMainWnd::statusFrame()
{
    Ui::MainWindow* ui = main->form();
    QCOMPARE(main->centralWidget(), static_cast<QWidget*>(main->mdi()));
    QCOMPARE(ui->frameSBar->parentWidget(), static_cast<QWidget*>(ui->statusbar));
    QVERIFY(ui->frameSBar->isVisible());
    QCOMPARE(ui->frameSBar->frameShape(), QFrame::Box);
    QCOMPARE(ui->frameSBar->frameShadow(), QFrame::Raised);
    QCOMPARE(ui->statusbar->minimumHeight(), 24);
    main->resize(900, 600);
    QCoreApplication::processEvents();
    QCOMPARE(ui->frameSBar->geometry(), QRect(QPoint(0, 0), ui->statusbar->size()));
    main->resize(1200, 700);
    QCoreApplication::processEvents();
    QCOMPARE(ui->frameSBar->geometry(), QRect(QPoint(0, 0), ui->statusbar->size()));

    const QList<QLabel*> labels = {ui->tl1, ui->tl2, ui->tl3, ui->tl4, ui->yl1, ui->yl2, ui->yl3, ui->yl4};
    const int xs[] = {4, 113, 222, 331, 448, 542, 636, 730};
    for (int i = 0; i < 8; ++i) {
        QVERIFY(!labels[i]->isVisible());
        QCOMPARE(labels[i]->geometry(), QRect(xs[i], 4, i < 4 ? 105 : 90, 16));
        QVERIFY(labels[i]->autoFillBackground());
        // Default readout colours: black text on the channel's background.
        QCOMPARE(labels[i]->palette().color(QPalette::WindowText), g_readoutTextColours[i % 4]);
        QCOMPARE(labels[i]->palette().color(QPalette::Window), g_readoutBackColours[i % 4]);
    }
}

// ---- set-up checks ---------------------------------------------------------------------------

namespace {

// Full codes of the critical errors seen.
QList<quint64> criticalCodes(const QList<SeenBox>& seen)
{
    QList<quint64> codes;
    static const QRegularExpression hex(QStringLiteral("0x([0-9a-f]+)"));
    for (const SeenBox& b : seen)
        if (b.icon == QMessageBox::Critical)
            codes << hex.match(b.text).captured(1).toULongLong(nullptr, 16);
    return codes;
}

// Runs a set-up that is to fail and gives the reported codes.
QList<quint64> failedSetup(bool* returned)
{
    BoxAnswerer boxes(QMessageBox::Ok);
    auto* w = new MainWnd;
    QPointer<MainWnd> guard(w);
    g_mainWnd = w;
    *returned = w->setupWindow();
    support::settle();
    delete guard.data();
    return criticalCodes(boxes.seen);
}

} // namespace

void TestMainWnd::setupFault_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("missingAction");
    QTest::addColumn<int>("condition");
    using F = MainSetupFault;
    const struct
    {
        const char* name;
        F fault;
        int condition;
    } rows[] = {
        {"MDI area", F::MdiArea, 0xFD02},
        {"MDI area connection", F::MdiConnect, 0xFE02},
        {"zoom panel", F::ZoomPanel, 0xFC02},
        {"sbZY", F::SbZY, 0xFD02},
        {"sbZY value connection", F::SbZYValueConnect, 0xFE02},
        {"sbZY move connection", F::SbZYMovedConnect, 0xFF02},
        {"sbZX", F::SbZX, 0xE402},
        {"sbZX value connection", F::SbZXValueConnect, 0xE502},
        {"sbZX move connection", F::SbZXMovedConnect, 0xE602},
        {"sbZYLabel", F::SbZYLabel, 0xE702},
        {"sbZXLabel", F::SbZXLabel, 0xE402},
        {"tool bar", F::ToolBar, 0xFF02},
        {"separator", F::Separator, 0xE602},
        {"FltEdit", F::FltEdit, 0xED02},
        {"FltEdit connection", F::FltEditConnect, 0xEE02},
        {"aExport", F::Export, 0xEF02},
        {"aExport connection", F::ExportConnect, 0xEC02},
        {"aCentering", F::Centering, 0xEE02},
        {"aCentering connection", F::CenteringConnect, 0xEF02},
        {"aSelectMode", F::SelectMode, 0xF402},
        {"aSelectMode connection", F::SelectModeConnect, 0xF502},
        {"frameSBar", F::FrameSBar, 0xF402},
        {"status bar", F::StatusBar, 0xF602},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << int(r.fault) << QString() << r.condition;
    // A missing action: 0xA402 with the action's number in the second byte.
    QTest::newRow("aNew missing (6)") << int(F::None) << QStringLiteral("aNew") << (0xA402 | (6 << 8));
    QTest::newRow("aInfo missing (11)") << int(F::None) << QStringLiteral("aInfo") << (0xA402 | (11 << 8));
    QTest::newRow("aVolt missing (23)") << int(F::None) << QStringLiteral("aVolt") << (0xA402 | (23 << 8));
    QTest::newRow("aSetBC3 missing (51)")
        << int(F::None) << QStringLiteral("aSetBC3") << (0xA402 | (51 << 8));
    QTest::newRow("aAbout missing (79)") << int(F::None) << QStringLiteral("aAbout") << (0xA402 | (79 << 8));
    QTest::newRow("aExit missing (base)") << int(F::None) << QStringLiteral("aExit") << (0xA402 | (4 << 8));
}

void TestMainWnd::setupFault()
{
    QFETCH(int, fault);
    QFETCH(QString, missingAction);
    QFETCH(int, condition);
    g_mainSetupFault = MainSetupFault(fault);
    g_missingAction = missingAction;
    bool returned = true;
    const QList<quint64> codes = failedSetup(&returned);
    QVERIFY(!returned);
    QCOMPARE(codes.size(), 1);
    QCOMPARE(int(codes[0] & 0xFFFF), condition);
}

void TestMainWnd::setupChecksShareOneReport()
{
    // All checks report from one place, so they differ in the condition only.
    QSet<quint64> places;
    for (MainSetupFault f : {MainSetupFault::MdiArea, MainSetupFault::SbZXLabel, MainSetupFault::StatusBar}) {
        g_mainSetupFault = f;
        bool returned = true;
        const QList<quint64> codes = failedSetup(&returned);
        QCOMPARE(codes.size(), 1);
        places.insert(codes[0] >> 16);
    }
    g_mainSetupFault = MainSetupFault::None;
    g_missingAction = QStringLiteral("aTile");
    bool returned = true;
    const QList<quint64> codes = failedSetup(&returned);
    QCOMPARE(codes.size(), 1);
    places.insert(codes[0] >> 16);
    QCOMPARE(places.size(), 1);
}

void TestMainWnd::connectionsAreUnique()
{
    // A second run finds the first connection made already and stops there.
    QCOMPARE(main->connectActions(4), 6);
    QCOMPARE(main->connectActions(10), 12);
    // One trigger, one window.
    main->form()->aNew->trigger();
    QCOMPARE(main->forms().size(), 1);
}

// ---- action states ---------------------------------------------------------------------------

void TestMainWnd::refreshActions_data()
{
    // Per control: 1 enabled, 0 disabled, - not concerned.
    // aPrint mZoom mColor mProcessing aSelectMode aCentering mWindow aExport aSave aInfo aSin mFilters
    // FltEdit aDirectFFT aReverseFFT aFFTView
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no window") << 0 << QStringLiteral("000000000000----");
    QTest::newRow("ordinary window") << 1 << QStringLiteral("1111111111111101");
    QTest::newRow("spectrum window") << 2 << QStringLiteral("1111111100000010");
    QTest::newRow("window with a spectrum") << 3 << QStringLiteral("1111111100100001");
}

void TestMainWnd::refreshActions()
{
    QFETCH(int, state);
    QFETCH(QString, expected);
    Ui::MainWindow* ui = main->form();
    if (state > 0) {
        TWForm* f = main->newWindow();
        QVERIFY(f);
        f->isSpectrum = state == 2;
        f->hasSpectrum = state == 3;
    } else {
        TWForm* f = main->newWindow();
        main->setReadout(f, 0, QStringLiteral("1uS"), QStringLiteral("1V"));
        QVERIFY(ui->tl1->isVisibleTo(main));
        f->close();
        QTRY_VERIFY(main->forms().isEmpty());
    }
    main->aSelectMode->setChecked(true);
    main->refreshActions();

    const QList<QObject*> controls = {ui->aPrint,        ui->mZoom,        ui->mColor,      ui->mProcessing,
                                      main->aSelectMode, main->aCentering, ui->mWindow,     main->aExport,
                                      ui->aSave,         ui->aInfo,        ui->aSin,        ui->mFilters,
                                      main->FltEdit,     ui->aDirectFFT,   ui->aReverseFFT, ui->aFFTView};
    QCOMPARE(controls.size(), expected.size());
    for (int i = 0; i < controls.size(); ++i) {
        if (expected[i] == QLatin1Char('-'))
            continue;
        const bool enabled = controls[i]->property("enabled").toBool();
        QVERIFY2(enabled == (expected[i] == QLatin1Char('1')), qPrintable(controls[i]->objectName()));
    }
    // The selection mode is switched off without a window and on a spectrum.
    QCOMPARE(main->aSelectMode->isChecked(), state == 1 || state == 3);
    if (state == 0) {
        for (QLabel* l : {ui->tl1, ui->tl2, ui->tl3, ui->tl4, ui->yl1, ui->yl2, ui->yl3, ui->yl4})
            QVERIFY(!l->isVisibleTo(main));
        // A disabled menu shows as disabled in the menu bar.
        QVERIFY(!ui->mZoom->menuAction()->isEnabled());
    }
}

// ---- file commands ---------------------------------------------------------------------------

void TestMainWnd::newWindowsAreNumbered()
{
    Ui::MainWindow* ui = main->form();
    ui->aNew->trigger();
    ui->aNew->trigger();
    ui->aNew->trigger();
    const QList<TWForm*> forms = main->forms();
    QCOMPARE(forms.size(), 3);
    QCOMPARE(forms[0]->windowTitle(), QStringLiteral("NoName - 1"));
    QCOMPARE(forms[1]->windowTitle(), QStringLiteral("NoName - 2"));
    QCOMPARE(forms[2]->windowTitle(), QStringLiteral("NoName - 3"));
    QCOMPARE(main->newCounter, 4u);
    QCOMPARE(main->activeForm(), forms[2]);
    for (TWForm* f : forms) {
        QVERIFY(f->isVisible());
        QCOMPARE(f->record->length(), 0);
    }
}

void TestMainWnd::readOpensWindowAndSlidersFollow()
{
    TWaveStor r(QRect(0, 0, 400, 300));
    QVERIFY(r.init(3, 100000));
    r.header.winStart = 5000;
    r.header.winWidth = 25000;
    r.header.vScale = 2000;
    r.setFilter(3, 9);
    const QString path = dir.filePath(QStringLiteral("sub/read.raw"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("sub"))));
    QCOMPARE(r.writeFile(path), 0);

    TWForm* other = main->newWindow(); // the window active while reading
    QVERIFY(other);
    TWForm* f = main->openRawPath(path);
    QVERIFY(f);
    QCOMPARE(f->windowTitle(), QDir::toNativeSeparators(path));
    QCOMPARE(main->activeForm(), f);
    QCOMPARE(main->lastDir, QDir::toNativeSeparators(dir.filePath(QStringLiteral("sub"))));
    QCOMPARE(main->sbZX->value(), 25);
    QCOMPARE(main->sbZY->value(), 200);
    QCOMPARE(main->sbZXLabel->text(), QStringLiteral("25%"));
    QCOMPARE(main->sbZYLabel->text(), QStringLiteral("200%"));
    QCOMPARE(main->FltEdit->value(), 9);
    QVERIFY(main->form()->aDetect->isChecked());
    QVERIFY(main->form()->aFiltering->isChecked());
    // The window that was active keeps its own view and scale.
    QCOMPARE(int(other->record->header.vScale), 1000);
    QCOMPARE(int(other->record->header.winWidth), 0);
    QVERIFY(f->view() == (wform::View{5000, 25000}));
}

void TestMainWnd::readThroughTheDialog()
{
    const QString path = dir.filePath(QStringLiteral("dialog.raw"));
    QCOMPARE(support::writeRecordFile(path, 2, 3000), 0);
    QStringList filters;
    support::ModalDriver<QFileDialog> driver([&](QFileDialog* d) {
        filters = d->nameFilters();
        support::acceptFileDialog(d, path);
    });
    main->form()->aRead->trigger();
    QCOMPARE(driver.handled, 1);
    QCOMPARE(filters, QStringList{QStringLiteral("Raw Data (*.raw)")});
    QCOMPARE(main->forms().size(), 1);
    QCOMPARE(main->forms()[0]->windowTitle(), QDir::toNativeSeparators(path));
    QCOMPARE(main->forms()[0]->record->channelCount(), 2);

    // A cancelled dialog opens nothing.
    support::ModalDriver<QFileDialog> cancel([](QFileDialog* d) { d->reject(); });
    main->form()->aRead->trigger();
    QCOMPARE(cancel.handled, 1);
    QCOMPARE(main->forms().size(), 1);
}

void TestMainWnd::corruptFileOpensNothing()
{
    const QString path = dir.filePath(QStringLiteral("corrupt.raw"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(600, 'x'));
    file.close();
    main->lastDir = QStringLiteral("/kept");

    BoxAnswerer boxes(QMessageBox::Ok, 2);
    QVERIFY(!main->openRawPath(path));
    support::settle();
    QVERIFY(main->forms().isEmpty());
    QVERIFY(main->mdi()->subWindowList().isEmpty());
    QCOMPARE(main->lastDir, QStringLiteral("/kept"));
    QStringList warnings;
    for (const SeenBox& b : boxes.seen)
        if (b.icon == QMessageBox::Warning)
            warnings << b.text;
    QCOMPARE(warnings, QStringList{QStringLiteral("Ошибка чтения файла 4")});
    // The reader named the failed check: the magic is wrong.
    QCOMPARE(support::criticalConditions(boxes.seen), QList<int>{0xAC02});
}

void TestMainWnd::savePath_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("path");
    QTest::newRow("no suffix") << "data"
                               << "data.raw";
    QTest::newRow("upper-case suffix is not ours") << "data.RAW"
                                                   << "data.RAW.raw";
    QTest::newRow("suffix kept") << "data.raw"
                                 << "data.raw";
    QTest::newRow("dot only") << "data."
                              << "data..raw";
    QTest::newRow("directories kept") << "/a.raw/b"
                                      << "/a.raw/b.raw";
}

void TestMainWnd::savePath()
{
    QFETCH(QString, chosen);
    QTEST(fmain::rawSavePath(chosen), "path");
}

void TestMainWnd::saveWritesAndRetitles()
{
    TWForm* f = addWindow(2, 4000);
    QVERIFY(f);
    f->record->channel(1)->setSample(7, -99);
    const QString chosen = dir.filePath(QStringLiteral("saved"));
    QCOMPARE(main->saveRawPath(chosen), 0);
    const QString path = chosen + QStringLiteral(".raw");
    QVERIFY(QFile::exists(path));
    QVERIFY(!QFile::exists(chosen));
    QCOMPARE(f->windowTitle(), QDir::toNativeSeparators(path));
    QCOMPARE(main->lastDir, QDir::toNativeSeparators(dir.path()));

    TWaveStor back(QRect(0, 0, 100, 100));
    QVERIFY(back.readFile(path));
    QCOMPARE(back.length(), 4000);
    QCOMPARE(back.channel(1)->sample(7), qint8(-99));
    QCOMPARE(back.channel(0)->sample(2000), support::burstSample(0, 2000));

    // Through the dialog, an upper-case suffix gets ours appended.
    support::ModalDriver<QFileDialog> driver(
        [&](QFileDialog* d) { support::acceptFileDialog(d, dir.filePath(QStringLiteral("other.RAW"))); });
    main->form()->aSave->trigger();
    QCOMPARE(driver.handled, 1);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("other.RAW.raw"))));
}

void TestMainWnd::saveRewritesExistingFile()
{
    TWForm* f = addWindow(1, 2000);
    QVERIFY(f);
    const QString path = dir.filePath(QStringLiteral("again.raw"));
    QCOMPARE(main->saveRawPath(path), 0);
    f->record->channel(0)->setSample(0, 42);
    QCOMPARE(main->saveRawPath(path), 0);
    TWaveStor back(QRect(0, 0, 100, 100));
    QVERIFY(back.readFile(path));
    QCOMPARE(back.channel(0)->sample(0), qint8(42));
    QVERIFY(!QFile::exists(path + QStringLiteral(".tmp")));
}

void TestMainWnd::failingSaveWarns()
{
    TWForm* f = addWindow(1, 100);
    QVERIFY(f);
    const QString title = f->windowTitle();
    main->lastDir = QStringLiteral("/kept");
    BoxAnswerer boxes(QMessageBox::Ok);
    const int result = main->saveRawPath(dir.filePath(QStringLiteral("missing-dir/x")));
    QCOMPARE(result, int(RawWriteFailed));
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen[0].icon, QMessageBox::Warning);
    QCOMPARE(boxes.seen[0].text, QStringLiteral("Ошибка записи файла -1"));
    QCOMPARE(f->windowTitle(), title);
    QCOMPARE(main->lastDir, QStringLiteral("/kept"));
}

// ---- controls that follow the active window --------------------------------------------------

void TestMainWnd::zoomKeepsItsWidthAndSliderFollows()
{
    TWForm* f = addWindow(2, 100000);
    QVERIFY(f);
    for (int i = 0; i < 5; ++i)
        main->form()->aZoomIn->trigger();
    // 100000 halved five times; the slider's rounded 3 % is not applied back.
    QCOMPARE(f->view().width, 3125);
    QCOMPARE(f->view().start, 48437);
    QCOMPARE(main->sbZX->value(), 3);
    QCOMPARE(main->sbZXLabel->text(), QStringLiteral("3%"));
    main->form()->aZoomOut->trigger();
    QCOMPARE(f->view().width, 6250);
    QCOMPARE(main->sbZX->value(), 6);
}

void TestMainWnd::slidersReachTheActiveWindow()
{
    TWForm* f = addWindow(2, 100000);
    QVERIFY(f);
    main->sbZX->setValue(50); // a released drag
    QCOMPARE(f->view().width, 50000);
    QCOMPARE(main->sbZXLabel->text(), QStringLiteral("50%"));
    main->sbZY->setValue(250);
    QCOMPARE(int(f->record->header.vScale), 2500);
    QCOMPARE(main->sbZYLabel->text(), QStringLiteral("250%"));

    // During a drag only the labels move.
    main->slot_sbZYSliderMoved(300);
    QCOMPARE(main->sbZYLabel->text(), QStringLiteral("300%"));
    QCOMPARE(int(f->record->header.vScale), 2500);
    main->slot_sbZXSliderMoved(20);
    QCOMPARE(main->sbZXLabel->text(), QStringLiteral("20%"));
    QCOMPARE(f->view().width, 50000);

    // Without the main window registered nothing is applied.
    g_mainWnd = nullptr;
    main->sbZY->setValue(120);
    QCOMPARE(int(f->record->header.vScale), 2500);
    g_mainWnd = main.data();
}

void TestMainWnd::activationMirrorsTheWindow()
{
    TWForm* a = addWindow(2, 10000);
    TWForm* b = addWindow(2, 10000);
    QVERIFY(a && b);
    a->record->setFilter(4, 7);
    a->record->header.vScale = 2500;
    a->record->header.showSine = 1;
    b->record->setFilter(0, 1);
    b->setStretchFromSlider(true, 200, 1000);

    main->mdi()->setActiveSubWindow(a);
    Ui::MainWindow* ui = main->form();
    QVERIFY(ui->aDetect->isChecked());
    QVERIFY(ui->aFiltering->isChecked());
    QVERIFY(ui->aDiff->isChecked());
    QVERIFY(ui->aDiff->isEnabled());
    QVERIFY(!ui->aPower->isChecked());
    QVERIFY(!ui->aPower->isEnabled());
    QVERIFY(ui->aSin->isChecked());
    QCOMPARE(main->FltEdit->value(), 7);
    QCOMPARE(main->sbZY->value(), 250);
    QCOMPARE(main->sbZX->value(), 100);
    // Nothing was sent back to either record.
    int mode = -1;
    QCOMPARE(a->record->filter(&mode), 7);
    QCOMPARE(mode, 4);
    QCOMPARE(b->record->filter(&mode), 1);
    QCOMPARE(mode, 0);
    QCOMPARE(int(b->record->header.vScale), 1000);

    main->mdi()->setActiveSubWindow(b);
    QVERIFY(!ui->aDetect->isChecked());
    QVERIFY(!ui->aDiff->isEnabled());
    QVERIFY(ui->aPower->isEnabled());
    QVERIFY(!ui->aSin->isChecked());
    QCOMPARE(main->FltEdit->value(), 1);
    QCOMPARE(main->sbZY->value(), 100);
    QCOMPARE(main->sbZX->value(), 20);
    QCOMPARE(main->sbZXLabel->text(), QStringLiteral("20%"));
    QCOMPARE(int(a->record->header.vScale), 2500);
    QCOMPARE(a->view().width, 10000);
}

void TestMainWnd::filterMarks()
{
    TWForm* f = addWindow(2, 1000);
    QVERIFY(f);
    Ui::MainWindow* ui = main->form();
    int mode = -1;
    ui->aDetect->trigger();
    QVERIFY(!ui->aPower->isEnabled());
    QVERIFY(!ui->aDiff->isEnabled());
    ui->aFiltering->trigger();
    QVERIFY(ui->aDiff->isEnabled());
    ui->aDiff->trigger();
    f->record->filter(&mode);
    QCOMPARE(mode, 4);
    main->FltEdit->setValue(12);
    QCOMPARE(f->record->filter(&mode), 12);
    ui->aFiltering->trigger(); // off: the derivative goes with it
    QVERIFY(!ui->aDiff->isChecked());
    QVERIFY(!ui->aDiff->isEnabled());
    f->record->filter(&mode);
    QCOMPARE(mode, 1);
    ui->aDetect->trigger();
    ui->aPower->trigger();
    QVERIFY(!ui->aDetect->isEnabled());
    ui->aFiltering->trigger();
    f->record->filter(&mode);
    QCOMPARE(mode, 6);
}

void TestMainWnd::unitMarksFollowTheSetter()
{
    Ui::MainWindow* ui = main->form();
    // Without a settings file the readouts start in coulombs, and the marks say so.
    QVERIFY(!main->unitVolts());
    QVERIFY(!ui->aVolt->isChecked());
    QVERIFY(ui->aCoulomb->isChecked());
    ui->aVolt->trigger();
    QVERIFY(main->unitVolts());
    QVERIFY(ui->aVolt->isChecked());
    ui->aCoulomb->trigger();
    QVERIFY(!main->unitVolts());
    QVERIFY(!ui->aVolt->isChecked());
    QVERIFY(ui->aCoulomb->isChecked());
    ui->aCoulomb->trigger(); // the check mark would toggle off; the unit stays
    QVERIFY(ui->aCoulomb->isChecked());
    QVERIFY(!main->unitVolts());
    main->setUnit(true);
    QVERIFY(main->unitVolts());
    QVERIFY(ui->aVolt->isChecked());
    QVERIFY(!ui->aCoulomb->isChecked());

    // The switch clears the readouts beyond a two-channel record.
    TWForm* f = addWindow(2, 1000);
    QVERIFY(f);
    main->setReadout(f, 2, QStringLiteral("1uS"), QStringLiteral("1V"));
    QVERIFY(ui->tl3->isVisibleTo(main));
    ui->aCoulomb->trigger();
    QVERIFY(!ui->tl3->isVisibleTo(main));
    QVERIFY(!ui->yl3->isVisibleTo(main));
}

void TestMainWnd::readouts()
{
    Ui::MainWindow* ui = main->form();
    TWForm* f = main->newWindow();
    QVERIFY(f);
    main->setReadout(f, 1, QStringLiteral("12.5uS"), QStringLiteral("+1.00mV"));
    QCOMPARE(ui->tl2->text(), QStringLiteral("T2=12.5uS"));
    QCOMPARE(ui->yl2->text(), QStringLiteral("Y2=+1.00mV"));
    QVERIFY(ui->tl2->isVisibleTo(main));
    QVERIFY(ui->yl2->isVisibleTo(main));
    main->setReadout(f, 1, QStringLiteral("12.5uS"), QString());
    QVERIFY(ui->tl2->isVisibleTo(main));
    QVERIFY(!ui->yl2->isVisibleTo(main));
    f->isSpectrum = true;
    main->setReadout(f, 3, QStringLiteral("1.2kHz"), QStringLiteral("-3.0 dB"));
    QCOMPARE(ui->tl4->text(), QStringLiteral("F4=1.2kHz"));
    QCOMPARE(ui->yl4->text(), QStringLiteral("A4=-3.0 dB"));
    main->setReadout(f, 4, QStringLiteral("x"), QStringLiteral("y")); // no fifth readout
    main->setReadout(f, -1, QStringLiteral("x"), QStringLiteral("y"));
    QCOMPARE(ui->tl1->isVisibleTo(main), false);

    main->setReadoutBackColour(QColor(10, 20, 30), 2);
    main->setReadoutTextColour(QColor(200, 100, 50), 2);
    QCOMPARE(ui->tl3->palette().color(QPalette::Window), QColor(10, 20, 30));
    QCOMPARE(ui->yl3->palette().color(QPalette::Inactive, QPalette::Window), QColor(10, 20, 30));
    QCOMPARE(ui->yl3->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(200, 100, 50));
    QCOMPARE(ui->tl2->palette().color(QPalette::Window), g_readoutBackColours[1]);
}

void TestMainWnd::windowCommands()
{
    Ui::MainWindow* ui = main->form();
    QList<TWForm*> w;
    for (int i = 0; i < 3; ++i)
        w << main->newWindow();
    QCOMPARE(main->activeForm(), w[2]);
    ui->aNext->trigger();
    QCOMPARE(main->activeForm(), w[0]);
    ui->aPrev->trigger();
    QCOMPARE(main->activeForm(), w[2]);

    ui->aTile->trigger();
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            QVERIFY(!w[i]->geometry().intersects(w[j]->geometry()));
    ui->aCascade->trigger();
    QVERIFY(w[0]->pos() != w[1]->pos());

    ui->aMin->trigger();
    QVERIFY(w[2]->isMinimized());
    QVERIFY(!w[0]->isMinimized());
    ui->aMinimizeAll->trigger();
    for (TWForm* f : w)
        QVERIFY(f->isMinimized());

    QPointer<TWForm> closing = main->activeForm();
    QVERIFY(closing);
    ui->aClose->trigger();
    QTRY_VERIFY(!closing);
    QCOMPARE(main->forms().size(), 2);
}

// ---- acquisition ---------------------------------------------------------------------------

namespace {

void useDemoUnit(quint16 halfLength)
{
    closeLink();
    resetLinkFlags();
    g_link.portName = demoPortName();
    g_link.rate = 115200;
    demoUnit().setFault(K4Fault());
    demoUnit().setPaced(false);
    g_acquisitionParameters = AcquisitionParameters();
    g_acquisitionParameters.halfLength = halfLength;
    g_acquisitionParameters.waitCount = 2;
    g_acquisitionParameters.detector = 0;
}

// Watches the run's progress dialog and notes whether the run command was disabled meanwhile.
struct RunWatch : QObject
{
    RunWatch(QAction* run)
    {
        timer.setInterval(2);
        connect(&timer, &QTimer::timeout, this, [this, run] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("LoadProgress") && w->isVisible()) {
                    seen = true;
                    runEnabledDuring = runEnabledDuring || run->isEnabled();
                }
        });
        timer.start();
    }
    QTimer timer;
    bool seen = false;
    bool runEnabledDuring = false;
};

} // namespace

void TestMainWnd::acquisitionMakesOrReusesAWindow()
{
    useDemoUnit(1000);
    Ui::MainWindow* ui = main->form();
    {
        RunWatch watch(ui->aRunADC);
        ui->aRunADC->trigger();
        QVERIFY(watch.seen);
        QVERIFY(!watch.runEnabledDuring);
    }
    QVERIFY(ui->aRunADC->isEnabled());
    QCOMPARE(main->forms().size(), 1);
    TWForm* f = main->forms()[0];
    QCOMPARE(f->windowTitle(), QStringLiteral("NoName - 1"));
    QCOMPARE(main->newCounter, 2u);
    QCOMPARE(f->record->channelCount(), 4);
    QCOMPARE(f->record->length(), 2000);
    QVERIFY(f->view() == (wform::View{0, 2000}));
    QCOMPARE(int(f->record->header.divider), 12);
    QVERIFY(f->record->channel(3)->visible);
    QCOMPARE(main->sbZX->value(), 100);

    // The active ordinary window is reused, remade for another length.
    g_acquisitionParameters.halfLength = 1500;
    ui->aRunADC->trigger();
    QCOMPARE(main->forms().size(), 1);
    QCOMPARE(main->forms()[0], f);
    QCOMPARE(f->record->length(), 3000);
    QCOMPARE(f->windowTitle(), QStringLiteral("NoName - 1"));

    // A spectrum is never acquired into: a new window takes the next number.
    f->isSpectrum = true;
    ui->aRunADC->trigger();
    QCOMPARE(main->forms().size(), 2);
    QCOMPARE(main->forms()[1]->windowTitle(), QStringLiteral("NoName - 2"));
    QCOMPARE(f->record->length(), 3000);
    f->isSpectrum = false;
}

void TestMainWnd::failedAcquisition_data()
{
    QTest::addColumn<bool>("withWindow");
    QTest::newRow("new window removed") << false;
    QTest::newRow("active window kept") << true;
}

void TestMainWnd::failedAcquisition()
{
    QFETCH(bool, withWindow);
    useDemoUnit(500);
    K4Fault fault;
    fault.kind = K4Fault::NoAck;
    demoUnit().setFault(fault);
    TWForm* kept = withWindow ? addWindow(2, 700) : nullptr;
    BoxAnswerer boxes(QMessageBox::Ok);
    main->form()->aRunADC->trigger();
    support::settle(50);
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen[0].text, QStringLiteral("Ошибка загрузки!"));
    QVERIFY(main->form()->aRunADC->isEnabled());
    if (withWindow) {
        QCOMPARE(main->forms(), QList<TWForm*>{kept});
    } else {
        QVERIFY(main->forms().isEmpty());
        QCOMPARE(main->newCounter, 2u); // the number was taken
    }
    demoUnit().setFault(K4Fault());
}

void TestMainWnd::stopAbortsTheLink()
{
    useDemoUnit(500);
    QVERIFY(!g_link.aborted);
    main->slot_tStopReleased();
    QVERIFY(g_link.aborted);
    resetLinkFlags();
}

void TestMainWnd::settingsCommandsOpenTheirDialogs()
{
    const AcquisitionParameters before = g_acquisitionParameters;
    QString title;
    {
        support::ModalDriver<QDialog> d([&](QDialog* dlg) {
            title = dlg->objectName();
            dlg->reject();
        });
        main->form()->aADC->trigger();
        QCOMPARE(d.handled, 1);
    }
    QCOMPARE(title, QStringLiteral("SetRecordDialog"));
    QVERIFY(g_acquisitionParameters == before); // rejected: nothing taken over
    {
        support::ModalDriver<QDialog> d([&](QDialog* dlg) {
            title = dlg->objectName();
            dlg->reject();
        });
        main->form()->aCOM->trigger();
        QCOMPARE(d.handled, 1);
    }
    QCOMPARE(title, QStringLiteral("SetupRS"));
}

// ---- quitting --------------------------------------------------------------------------------

void TestMainWnd::quitAsksAndCanBeCancelled()
{
    TWForm* plain = addWindow(1, 500);
    TWForm* changed = addWindow(1, 500);
    QVERIFY(plain && changed);
    changed->record->channel(0)->setSample(1, 1);
    QPointer<TWForm> guard = changed;
    {
        BoxAnswerer boxes(QMessageBox::Cancel);
        QVERIFY(!main->close());
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY(boxes.seen[0].text.contains(changed->windowTitle()));
    }
    QVERIFY(main->isVisible());
    QVERIFY(guard && guard->isVisible());
    {
        BoxAnswerer boxes(QMessageBox::No);
        main->form()->aExit->trigger();
        QCOMPARE(boxes.seen.size(), 1);
    }
    QVERIFY(main && main->isVisible());
    QVERIFY(guard);
    {
        BoxAnswerer boxes(QMessageBox::Yes);
        QVERIFY(main->close());
        QCOMPARE(boxes.seen.size(), 1);
    }
    QTRY_VERIFY(!main); // deletes itself, and its windows with it
    QVERIFY(!guard);
}

void TestMainWnd::quitClosesSpectrumBeforeSource()
{
    TWForm* source = addWindow(2, 2000);
    TWForm* spectrum = addWindow(2, 256);
    QVERIFY(source && spectrum);
    spectrum->isSpectrum = true;
    spectrum->source = source;
    source->hasSpectrum = true;
    main->mdi()->setActiveSubWindow(source); // the source on top
    BoxAnswerer boxes(QMessageBox::Ok);
    QVERIFY(main->close());
    QVERIFY(boxes.seen.isEmpty()); // no "close the spectrum first"
    QTRY_VERIFY(!main);
}

void TestMainWnd::quitRefusedBySpectrumKeepsEverything()
{
    QPointer<TWForm> plain = addWindow(1, 500);
    QPointer<TWForm> source = addWindow(2, 2000);
    QPointer<TWForm> spectrum = addWindow(2, 256);
    QVERIFY(plain && source && spectrum);
    spectrum->isSpectrum = true;
    spectrum->changed = true;
    spectrum->source = source;
    source->hasSpectrum = true;
    BoxAnswerer boxes(QMessageBox::Cancel, 3);
    QVERIFY(!main->close());
    support::settle(50);
    // Only the spectrum's own question; the source was not asked and did not complain.
    QCOMPARE(boxes.seen.size(), 1);
    QCOMPARE(boxes.seen[0].text, QStringLiteral("Выполнить обратное преобразование?"));
    QVERIFY(main && main->isVisible());
    QVERIFY(plain && source && spectrum);
    QVERIFY(source->hasSpectrum);
}

QTEST_MAIN(TestMainWnd)
#include "tst_mainwnd.moc"
