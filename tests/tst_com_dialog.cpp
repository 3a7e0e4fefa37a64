// The COM port dialog: the ports offered, the preselection from the link, and what OK and Cancel
// do to the link.

#include "com_dialog.h"
#include "k4demo.h"
#include "rs232.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

struct Seen
{
    QStringList items;
    QString current;
    QStringList checkedRates;
    QString title;
    QSize size;
};

// Runs the dialog; act looks at it (and may change it) and says which button to press.
Seen runDialog(const QStringList& ports, const std::function<QDialogButtonBox::StandardButton(QDialog*)>& act)
{
    Seen seen;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        auto* cb = dlg->findChild<QComboBox*>("portCB");
        for (int i = 0; i < cb->count(); ++i)
            seen.items << cb->itemText(i);
        seen.current = cb->currentText();
        for (auto* rb : dlg->findChildren<QRadioButton*>())
            if (rb->isChecked())
                seen.checkedRates << rb->text();
        seen.title = dlg->windowTitle();
        seen.size = dlg->size();
        const auto button = act(dlg);
        dlg->findChild<QDialogButtonBox*>("buttonBox")->button(button)->click();
    });
    runComPortDialog(nullptr, ports);
    return seen;
}

QDialogButtonBox::StandardButton pressOk(QDialog*)
{
    return QDialogButtonBox::Ok;
}

} // namespace

class TestComDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void offersSystemPortsThenDemo();
    void preselectsTheLink_data();
    void preselectsTheLink();
    void okReopensOnTheChoice();
    void unknownRateOpensAt115200ButKeepsIt();
    void missingPortStoresEmptyName();
    void cancelTouchesNothing();
};

void TestComDialog::init()
{
    closeLink();
    resetLinkFlags();
    g_link.portName = QStringLiteral("COM1");
    g_link.rate = 115200;
}

void TestComDialog::cleanup()
{
    closeLink();
}

void TestComDialog::offersSystemPortsThenDemo()
{
    const Seen s = runDialog({"ttyS0", "ttyUSB0"}, pressOk);
    QCOMPARE(s.items, (QStringList{"ttyS0", "ttyUSB0", "K4-DEMO"}));
    QCOMPARE(s.title, QStringLiteral("Настройка COM-порта"));
    QCOMPARE(s.size, QSize(295, 145));
    // The machine's own list comes first, whatever it holds.
    const QStringList system = systemPortNames();
    const Seen real = runDialog(system, [](QDialog*) { return QDialogButtonBox::Cancel; });
    QCOMPARE(real.items, system + QStringList{"K4-DEMO"});
}

void TestComDialog::preselectsTheLink_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("checked");
    QTest::newRow("both known") << "ttyUSB0" << 57600 << "ttyUSB0" << QStringList{"57600"};
    QTest::newRow("demo, 19200") << "K4-DEMO" << 19200 << "K4-DEMO" << QStringList{"19200"};
    QTest::newRow("case differs") << "ttyusb0" << 38400 << "" << QStringList{"38400"};
    QTest::newRow("rate not offered") << "ttyS0" << 9600 << "ttyS0" << QStringList();
}

void TestComDialog::preselectsTheLink()
{
    QFETCH(QString, name);
    QFETCH(int, rate);
    QFETCH(QString, current);
    QFETCH(QStringList, checked);
    g_link.portName = name;
    g_link.rate = rate;
    const Seen s = runDialog({"ttyS0", "ttyUSB0"}, [](QDialog*) { return QDialogButtonBox::Cancel; });
    QCOMPARE(s.current, current);
    QCOMPARE(s.checkedRates, checked);
}

void TestComDialog::okReopensOnTheChoice()
{
    runDialog({"ttyS0"}, [](QDialog* d) {
        d->findChild<QComboBox*>("portCB")->setCurrentText("K4-DEMO");
        d->findChild<QRadioButton*>("rb38400")->setChecked(true);
        return QDialogButtonBox::Ok;
    });
    QCOMPARE(g_link.portName, QStringLiteral("K4-DEMO"));
    QCOMPARE(g_link.rate, 38400);
    // The port is open at the chosen rate until the next command closes it.
    QVERIFY(linkIsOpen());
    QCOMPARE(demoUnit().baud(), 38400);
}

void TestComDialog::unknownRateOpensAt115200ButKeepsIt()
{
    g_link.portName = QStringLiteral("K4-DEMO");
    g_link.rate = 9600;
    demoUnit().setBaud(1200);
    runDialog({}, pressOk);
    QVERIFY(linkIsOpen());
    QCOMPARE(demoUnit().baud(), 115200);
    QCOMPARE(g_link.rate, 9600);
    QCOMPARE(g_link.portName, QStringLiteral("K4-DEMO"));
}

void TestComDialog::missingPortStoresEmptyName()
{
    g_link.portName = QStringLiteral("ttyACM7");
    const Seen s = runDialog({"ttyS0"}, pressOk);
    QCOMPARE(s.current, QString());
    QCOMPARE(g_link.portName, QString());
    QVERIFY(!linkIsOpen());
}

void TestComDialog::cancelTouchesNothing()
{
    QCOMPARE(openLink(QStringLiteral("K4-DEMO"), 19200), 0);
    g_link.portName = QStringLiteral("K4-DEMO");
    g_link.rate = 19200;
    demoUnit().clearLog();
    runDialog({"ttyS0"}, [](QDialog* d) {
        d->findChild<QComboBox*>("portCB")->setCurrentText("ttyS0");
        d->findChild<QRadioButton*>("rb57600")->setChecked(true);
        return QDialogButtonBox::Cancel;
    });
    QCOMPARE(g_link.portName, QStringLiteral("K4-DEMO"));
    QCOMPARE(g_link.rate, 19200);
    QVERIFY(linkIsOpen());
    QCOMPARE(demoUnit().baud(), 19200);
}

QTEST_MAIN(TestComDialog)
#include "tst_com_dialog.moc"
