// Source location on a recording of the emulated unit: the dialog (round trip, bad set-ups), the map,
// selection moving the cursors (mouse and keyboard), the exports, linear location, the end.

#include "ae/chart_util.h"
#include "ae/location_dialog.h"
#include "ae/location_window.h"
#include "boxwatch.h"
#include "k4demo.h"
#include "rs232.h"
#include "settings.h"
#include "ui_MainWindow.h"
#include "uidriver.h"
#include "wave_form.h"

#include <QAreaSeries>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineSeries>
#include <QMdiArea>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QSvgRenderer>
#include <QTableView>
#include <QtTest>

#include <cmath>

class TestLocationWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { delete main.data(); }
    void dialogRoundTrip();
    void badSetUps_data();
    void badSetUps();
    void commandMapCursorsAndExports();
    void linearAndClose();

private:
    // A recording of the emulated unit (seed 2), 4 x 40000 samples at 250 kHz, gain 1.
    TWForm* record()
    {
        g_link.portName = demoPortName();
        demoUnit().setPaced(false);
        demoUnit().setSeed(2);
        demoUnit().setVarySeed(false);
        g_acquisitionParameters.halfLength = 20000;
        g_acquisitionParameters.waitCount = 11;
        g_acquisitionParameters.detector = 0;
        for (quint8& g : g_acquisitionParameters.gain)
            g = 1;
        main->form()->aRunADC->trigger();
        return main->forms().value(0);
    }
    // The command on f; fill runs on its dialog, then OK; stays tells whether the dialog stayed open.
    TLocationWindow* locate(TWForm* f, const std::function<void(TLocationDlg*)>& fill = {},
                            bool* stays = nullptr)
    {
        main->mdi()->setActiveSubWindow(f);
        ModalDriver<TLocationDlg> driver([&](TLocationDlg* d) {
            if (fill)
                fill(d);
            d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            if (stays)
                *stays = d->isVisible();
        });
        main->form()->aLocate->trigger();
        return TLocationWindow::windowOf(main, f);
    }
    // The pixel of the map view's viewport at the data point p.
    static QPoint pixelOf(TLocationWindow* w, QPointF p)
    {
        QChart* c = w->mapView()->chart();
        return w->mapView()->mapFromScene(c->mapToScene(c->mapToPosition(p, c->series().first())));
    }

    QPointer<MainWnd> main;
    QTemporaryDir dir;
};

void TestLocationWindow::init()
{
    startLibrary();
    main = makeMainWindow(QSize(1000, 700));
    QVERIFY(main);
    g_hitSettings = ae::HitSettings();
    g_locationSetup = defaultLocationSetup();
}

void TestLocationWindow::dialogRoundTrip()
{
    // Every field differs from its default and from the others.
    ae::LocationSetup in;
    for (int ch = 0; ch < 5; ++ch)
        in.channels[ch] = {ch % 2 == 0, -1.5 + ch, ch == 3 ? std::nan("") : 2.25 + ch};
    in.velocityMps = 3100;
    in.pick = ae::PickMethod::Threshold;
    in.aicWindowUs = 150;
    in.eventWindowUs = 420;
    const ae::HitSettings hits{0.0125, 120, 650, 900};
    auto text = [](const ae::LocationSetup& s) {
        QStringList l{QString::number(s.velocityMps), QString::number(int(s.pick)),
                      QString::number(s.aicWindowUs), QString::number(s.eventWindowUs)};
        for (const ae::LocationSetup::Channel& c : s.channels)
            l << QStringLiteral("%1 %2 %3").arg(c.used).arg(c.x).arg(c.y);
        return l;
    };
    TLocationDlg d;
    d.setSettings(in, hits);
    QCOMPARE(text(d.location()), text(in));
    QVERIFY(d.hits() == hits);
    // A comma reads as a decimal point; the automatic event window follows the sensors.
    d.setSettings(defaultLocationSetup(), hits);
    d.findChild<QLineEdit*>(QStringLiteral("xEdit2"))->setText(QStringLiteral("1,5"));
    QCOMPARE(d.location().channels[1].x, 1.5);
    QCOMPARE(d.findChild<QLabel*>(QStringLiteral("eventAuto"))->text(), // hypot(1.5, 0.5) / 5000 x 1.2
             QStringLiteral("(по датчикам: %1 мкс)").arg(std::hypot(1.5, 0.5) / 5000 * 1e6 * 1.2, 0, 'f', 0));
}

void TestLocationWindow::badSetUps_data()
{
    QTest::addColumn<QStringList>("edits"); // "name=text" of line edits, "-N" unticks channel N
    QTest::addColumn<QString>("message");
    const StringsKit& k = StringsKit::instance();
    QTest::newRow("mixed 1-D and 2-D") << QStringList{"yEdit2="} << k.warnText(StringsKit::WarnLocationMixed);
    QTest::newRow("not a number") << QStringList{"xEdit3=0.5x"}
                                  << k.warnText(StringsKit::WarnLocationPosition).arg("3", "0.5x");
    QTest::newRow("empty X") << QStringList{"xEdit1="}
                             << k.warnText(StringsKit::WarnLocationPosition).arg("1", "(пусто)");
    QTest::newRow("coincident") << QStringList{"xEdit4=0.5", "yEdit4=0"}
                                << k.warnText(StringsKit::WarnLocationCoincident).arg("2", "4");
    QTest::newRow("two for planar") << QStringList{"-1", "-2"} << k.warnText(StringsKit::WarnLocationTooFew);
}

// A bad set-up keeps the dialog open after its message; nothing is located and nothing is kept.
void TestLocationWindow::badSetUps()
{
    QFETCH(QStringList, edits);
    TWForm* f = record();
    QVERIFY(f);
    BoxAnswerer ok(QMessageBox::Ok);
    bool stayed = false;
    QVERIFY(!locate(
        f,
        [&](TLocationDlg* d) {
            for (const QString& e : edits)
                if (e.startsWith('-'))
                    d->findChild<QCheckBox*>(QStringLiteral("useCheck") + e.mid(1))->setChecked(false);
                else
                    d->findChild<QLineEdit*>(e.section('=', 0, 0))->setText(e.section('=', 1));
        },
        &stayed));
    QVERIFY(stayed);
    QCOMPARE(ok.seen.size(), 1);
    QTEST(ok.seen[0].text, "message");
    QCOMPARE(g_locationSetup.channels[1].y, 0.0);
}

void TestLocationWindow::commandMapCursorsAndExports()
{
    Ui::MainWindow* ui = main->form();
    QCOMPARE(ui->aLocate->text(), QStringLiteral("&Локация источников АЭ…"));
    TWForm* f = record();
    QVERIFY(f && ui->aLocate->isEnabled());
    // A record without a sampling rate: the message, no window.
    const qint32 divider = f->record->header.divider;
    f->record->header.divider = 0;
    {
        BoxAnswerer ok(QMessageBox::Ok);
        QVERIFY(!locate(f));
        QCOMPARE(ok.seen.value(0).text, StringsKit::instance().warnText(StringsKit::WarnLocationNoPeriod));
    }
    f->record->header.divider = divider;

    TLocationWindow* w = locate(f);
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("Локация АЭ — NoName - 1"));
    QCOMPARE(locate(f), w); // again: the same window
    // The events the engine finds on its own in the same record.
    ae::LocationSettings s;
    QVERIFY(ae::fromSetup(defaultLocationSetup(), s));
    const ae::LocationResult r = ae::locateRecord(*f->record, ae::HitSettings(), s);
    QVERIFY2(r.events.size() >= 3, qPrintable(QString::number(r.events.size())));
    QCOMPARE(w->model().rowCount(), int(r.events.size()));
    for (int i = 0; i < w->model().rowCount(); ++i)
        QCOMPARE(w->model().index(i, ae::LocationTableModel::XColumn).data().toString(),
                 QString::number(r.events[std::size_t(i)].x, 'f', 4));

    // Equal scales, also after a change of shape; sensors black at the corners, labelled with their
    // channels; each event in the colour and size of its class.
    auto equal = [&] {
        const QPointF upp = w->mapView()->unitsPerPixel();
        return upp.x() > 0 && std::fabs(upp.x() / upp.y() - 1) < 1e-9;
    };
    QVERIFY(equal());
    w->resize(w->width() + 150, w->height() - 60);
    QTRY_VERIFY(equal());
    QStringList labels;
    const ae::LocatedEvent& e0 = r.events[0];
    const QImage map = w->mapView()->grab().toImage();
    const QColor drawn = map.pixelColor(pixelOf(w, {e0.x, e0.y}));
    int marker = 0;
    for (QAbstractSeries* series : w->mapView()->chart()->series())
        if (auto* sc = qobject_cast<QScatterSeries*>(series); sc && sc->name() == QStringLiteral("Датчики"))
            labels << sc->pointLabelsFormat() +
                          QStringLiteral("@%1,%2").arg(sc->at(0).x()).arg(sc->at(0).y());
        else if (sc && sc->points().contains(QPointF(e0.x, e0.y)) && sc->color() == drawn)
            marker = int(sc->markerSize());
    QCOMPARE(labels, (QStringList{"1@0,0", "2@0.5,0", "3@0.5,0.5", "4@0,0.5"}));
    QCOMPARE(map.pixelColor(pixelOf(w, {0.5, 0.5})), QColor(Qt::black));
    QCOMPARE(marker, 7 + 3 * ae::amplitudeClasses(r.events).classOf(20 * std::log10(e0.peakV * 1e6)));

    // A click on the second event's point selects its row, moves its channels' cursors to its picks and
    // the mark to its place; then Up selects the first.
    auto cursorsAt = [&](const ae::LocatedEvent& e) {
        for (int k : e.picks)
            QCOMPARE(f->record->channel(r.picks[std::size_t(k)].hit.channel)->cursor,
                     int(r.picks[std::size_t(k)].sample));
    };
    const ae::LocatedEvent& e1 = r.events[1];
    QTest::mouseClick(w->mapView()->viewport(), Qt::LeftButton, Qt::NoModifier, pixelOf(w, {e1.x, e1.y}));
    QTRY_COMPARE(w->view()->currentIndex().row(), 1);
    cursorsAt(e1);
    QCOMPARE(w->selectedMark(), QList<QPointF>{QPointF(e1.x, e1.y)});
    w->view()->setFocus();
    QTest::keyClick(w->view(), Qt::Key_Up);
    QCOMPARE(w->view()->currentIndex().row(), 0);
    cursorsAt(e0);
    QCOMPARE(main->activeForm(), f); // its readouts show
    // The wheel zooms about the mouse, keeping the scales equal; the right button shows all.
    const QPointF before = w->mapView()->unitsPerPixel();
    const QPoint under = pixelOf(w, {0.3, 0.1});
    QWheelEvent wheel(under, w->mapView()->viewport()->mapToGlobal(under), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w->mapView()->viewport(), &wheel);
    QVERIFY(equal() && std::fabs(w->mapView()->unitsPerPixel().x() * 1.25 / before.x() - 1) < 1e-9);
    QVERIFY((pixelOf(w, {0.3, 0.1}) - under).manhattanLength() <= 2);
    QTest::mouseClick(w->mapView()->viewport(), Qt::RightButton);
    QVERIFY(std::fabs(w->mapView()->unitsPerPixel().x() / before.x() - 1) < 1e-9);

    // The table through the button and the file dialog, ".csv" appended: the engine's rows.
    ModalDriver<QFileDialog> driver(
        [&](QFileDialog* d) { acceptFileDialog(d, dir.filePath(QStringLiteral("ev"))); });
    w->findChild<QPushButton*>(QStringLiteral("exportCsvBtn"))->click();
    QFile csv(dir.filePath(QStringLiteral("ev.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QByteArray expected = "file,event,time_us,x_m,y_m,residual_m,channels\n";
    ae::appendLocationCsv(expected, QStringLiteral("NoName - 1"), w->model().events());
    QCOMPARE(csv.readAll(), expected);
    QCOMPARE(w->exportCsv(dir.filePath(QStringLiteral("missing/ev.csv"))), int(RawWriteFailed));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));

    // The map as PNG (the sensor at (0, 0) black where the map shows it) and as SVG.
    const QString png = dir.filePath(QStringLiteral("map.png")),
                  svg = dir.filePath(QStringLiteral("map.svg"));
    QCOMPARE(w->exportMap(png), 0);
    const QImage image(png);
    const QPoint at = w->mapView()->mapTo(w->mapView()->parentWidget(), pixelOf(w, {0, 0}));
    QCOMPARE(image.size(), w->mapView()->parentWidget()->size());
    QCOMPARE(image.pixelColor(at), QColor(Qt::black));
    QCOMPARE(w->exportMap(svg), 0);
    QSvgRenderer drawing(svg);
    QImage fromSvg(image.size(), QImage::Format_RGB32);
    fromSvg.fill(Qt::white);
    QPainter p(&fromSvg);
    drawing.render(&p);
    p.end();
    QCOMPARE(fromSvg.pixelColor(at), QColor(Qt::black));
}

void TestLocationWindow::linearAndClose()
{
    TWForm* f = record();
    // Channels 1 ... 3 on a line at 0, 0.5 and 1 m (Y empty), channel 4 unticked.
    QPointer<TLocationWindow> w = locate(f, [](TLocationDlg* d) {
        for (int ch = 1; ch <= 3; ++ch) {
            d->findChild<QLineEdit*>(QStringLiteral("xEdit%1").arg(ch))
                ->setText(QString::number((ch - 1) * 0.5));
            d->findChild<QLineEdit*>(QStringLiteral("yEdit%1").arg(ch))->clear();
        }
        d->findChild<QCheckBox*>(QStringLiteral("useCheck4"))->setChecked(false);
    });
    QVERIFY(w && !w->planar() && w->histogramView()->isVisible());
    QVERIFY(std::isnan(g_locationSetup.channels[0].y) && !g_locationSetup.channels[3].used); // kept
    QVERIFY(w->model().rowCount() > 0);
    for (const ae::LocatedEvent& e : w->model().events())
        QVERIFY(e.x >= 0 && e.x <= 1 && std::isnan(e.y) && e.channels.size() >= 2 && e.channels[0] != 3);
    QCOMPARE(w->model().index(0, ae::LocationTableModel::YColumn).data().toString(), QString());
    // The histogram's bars add up to the events.
    auto* area = qobject_cast<QAreaSeries*>(w->histogramView()->chart()->series().value(0));
    QVERIFY(area);
    double total = 0;
    const QList<QPointF> outline = area->upperSeries()->points();
    for (int i = 1; i + 2 < outline.size(); i += 4)
        total += outline[i].y();
    QCOMPARE(total, double(w->model().rowCount()));

    // Closing the waveform window closes its location window.
    BoxAnswerer yes(QMessageBox::Yes); // the recording is not saved: close anyway
    QVERIFY(f->close());
    QTRY_VERIFY(w.isNull());
}

QTEST_MAIN(TestLocationWindow)
#include "tst_location_window.moc"
