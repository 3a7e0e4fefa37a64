// The acquisition dialogs: what the parameters dialog shows of a parameter block, a user's session
// with it, and the block after OK or Cancel; the COM port dialog's ports, the choice preselected,
// what OK and Cancel do to the link.

#include "boxwatch.h"
#include "com_dialog.h"
#include "k4demo.h"
#include "rs232.h"
#include "set_record.h"
#include "umisc.h"
#include "ustrings.h"

#include <Velkit/vlk_init.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

Q_DECLARE_METATYPE(AcquisitionParameters)

namespace {

// Every field different from the others and from the defaults.
AcquisitionParameters block(quint16 half, quint16 wait, int gain, int step, quint8 mux, quint8 sync,
                            quint8 detector)
{
    AcquisitionParameters p;
    std::tie(p.halfLength, p.waitCount, p.mux, p.sync, p.detector) =
        std::tuple(half, wait, mux, sync, detector);
    for (int i = 0; i < 4; ++i)
        p.gain[i] = quint8(gain + step * i);
    return p;
}

} // namespace

class TestSetRecord : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
        StringsKit::instance().fill();
    }
    void cleanup() { closeLink(); }
    void session_data();
    void session();
    void comPort_data();
    void comPort();
};

void TestSetRecord::session_data()
{
    // The block on opening, whether the user edits (inputs 9-12, gain 16 then 4096 for all, 70001
    // samples, the frequency box's top), OK or Cancel; what the dialog showed (on opening: gains,
    // the checked group and synchronisation, detector, "for all", frequency, samples; then after
    // each edit), the block after.
    QTest::addColumn<AcquisitionParameters>("before");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<AcquisitionParameters>("after");
    const AcquisitionParameters a = block(30000, 24, 1, 2, 7, 1, 0), b = block(50000, 5, 0, 3, 0, 0, 1);
    const QString edits = QStringLiteral(" | Вход 9 Вход 10 Вход 11 Вход 12 16 4096 70000 1000000");
    QTest::newRow("OK: every field kept")
        << a << false << true << "2 8 32 128 rb29_32 rbExternal 0 0 120000 60000" << a;
    QTest::newRow("edited, OK") << b << true << true
                                << "1 8 64 512 rb1_4 rbInternal 1 0 500000 100000" + edits
                                << block(35000, 2, 12, 0, 2, 0, 1);
    QTest::newRow("edited, Cancel") << a << true << false
                                    << "2 8 32 128 rb29_32 rbExternal 0 0 120000 60000" + edits << a;
}

void TestSetRecord::session()
{
    QFETCH(AcquisitionParameters, before);
    QFETCH(bool, edit);
    QFETCH(bool, ok);
    AcquisitionParameters p = before;
    bool forAll = false;
    QStringList shown;
    QTimer::singleShot(0, this, [&] {
        auto* dlg = qobject_cast<TSetRecord*>(QApplication::activeModalWidget());
        auto gain = [dlg](int i) { return dlg->findChild<QComboBox*>(QStringLiteral("gBox%1").arg(i)); };
        for (int i = 1; i <= 4; ++i)
            shown << gain(i)->currentText();
        for (QRadioButton* rb : dlg->findChildren<QRadioButton*>())
            if (rb->isChecked())
                shown << rb->objectName();
        for (const char* box : {"detCB", "allBox"})
            shown << QString::number(dlg->findChild<QCheckBox*>(box)->isChecked());
        shown << dlg->frequencyBox()->text() << dlg->lengthBox()->text();
        if (edit) {
            shown << "|";
            QTest::mouseClick(dlg->findChild<QRadioButton*>("rb9_12"), Qt::LeftButton);
            for (int i = 1; i <= 4; ++i)
                shown << dlg->findChild<QLabel*>(QStringLiteral("chl%1").arg(i))->text();
            gain(1)->setCurrentIndex(4);
            dlg->findChild<QCheckBox*>("allBox")->setChecked(true); // the first input's gain for all
            shown << gain(4)->currentText();
            gain(3)->setCurrentIndex(12); // any box then changes all four
            shown << gain(1)->currentText();
            QLineEdit* edit = dlg->lengthBox()->findChild<QLineEdit*>();
            edit->selectAll();
            QTest::keyClicks(edit, "70001");
            QTest::keyClick(edit, Qt::Key_Return);
            shown << dlg->lengthBox()->text();
            dlg->frequencyBox()->setValue(65534);
            shown << dlg->frequencyBox()->text();
        }
        dlg->findChild<QDialogButtonBox*>("buttonBox")
            ->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
            ->click();
    });
    QVERIFY(runAcquisitionParametersDialog(nullptr, p, forAll));
    QTEST(shown.join(' '), "shown");
    QFETCH(AcquisitionParameters, after);
    QCOMPARE(p.toBytes().toHex(), after.toBytes().toHex());
    QCOMPARE(forAll, ok && edit);
}

void TestSetRecord::comPort_data()
{
    // The link's port and rate before; the port and rate chosen ("-": left) and the button; what the
    // dialog showed (port, checked rate), then the link's port and rate and its line's rate (0: closed).
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("choice");
    QTest::addColumn<QString>("result");
    auto row = [](const char* name, const QStringList& before, const QStringList& choice,
                  const char* result) { QTest::newRow(name) << before << choice << result; };
    row("demo chosen at 38400", {"ttyUSB0", "57600"}, {"K4-DEMO", "38400", "OK"},
        "ttyUSB0 57600 | K4-DEMO 38400 38400");
    row("rate not offered: opened at 115200, kept", {"K4-DEMO", "9600"}, {"-", "-", "OK"},
        "K4-DEMO | K4-DEMO 9600 115200");
    row("port not listed: none", {"ttyusb0", "19200"}, {"-", "-", "OK"}, " 19200 |  19200 0");
    row("Cancel", {"K4-DEMO", "19200"}, {"ttyS0", "57600", "Cancel"}, "K4-DEMO 19200 | K4-DEMO 19200 0");
}

void TestSetRecord::comPort()
{
    const QStringList system{"ttyS0", "ttyUSB0"}; // as the system would report them
    QFETCH(QStringList, before);
    QFETCH(QStringList, choice);
    g_link.portName = before[0];
    g_link.rate = before[1].toInt();
    QStringList items, shown;
    QTimer::singleShot(0, this, [&] {
        auto* dlg = QApplication::activeModalWidget();
        auto* ports = dlg->findChild<QComboBox*>("portCB");
        for (int i = 0; i < ports->count(); ++i)
            items << ports->itemText(i);
        shown << ports->currentText();
        for (auto* rb : dlg->findChildren<QRadioButton*>())
            if (rb->isChecked())
                shown << rb->text();
        if (choice[0] != "-")
            ports->setCurrentText(choice[0]);
        if (choice[1] != "-")
            dlg->findChild<QRadioButton*>("rb" + choice[1])->setChecked(true);
        dlg->findChild<QDialogButtonBox*>("buttonBox")
            ->button(choice[2] == "OK" ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
            ->click();
    });
    runComPortDialog(nullptr, system);
    QCOMPARE(items, system + QStringList{"K4-DEMO"}); // the demo unit after the system's ports
    shown << "|" << g_link.portName << QString::number(g_link.rate)
          << QString::number(linkIsOpen() ? demoUnit().baud() : 0);
    QTEST(shown.join(' '), "result");
}

QTEST_MAIN(TestSetRecord)
#include "tst_set_record.moc"
