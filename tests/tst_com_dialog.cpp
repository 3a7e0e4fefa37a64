// The COM port dialog: the ports offered, the choice preselected, what OK and Cancel do to the link.

#include "boxwatch.h"
#include "com_dialog.h"
#include "k4demo.h"
#include "rs232.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

class TestComDialog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { closeLink(); }
    void choices_data();
    void choices();
};

void TestComDialog::choices_data()
{
    QTest::addColumn<QString>("name"); // the link's port and rate before
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("shown"); // port and checked rates the dialog shows
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QString>("choose"); // port and rate chosen ("": left), then OK or Cancel
    QTest::addColumn<int>("chooseRate");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("newName"); // the link after
    QTest::addColumn<int>("newRate");
    QTest::addColumn<int>("openedAt"); // rate of the demo unit's line; 0: port not open
    QTest::newRow("demo chosen at 38400") << "ttyUSB0" << 57600 << "ttyUSB0" << QStringList{"57600"}
                                          << "K4-DEMO" << 38400 << true << "K4-DEMO" << 38400 << 38400;
    QTest::newRow("rate not offered: opened at 115200, kept")
        << "K4-DEMO" << 9600 << "K4-DEMO" << QStringList() << "" << 0 << true << "K4-DEMO" << 9600 << 115200;
    QTest::newRow("port not listed: none")
        << "ttyusb0" << 19200 << "" << QStringList{"19200"} << "" << 0 << true << "" << 19200 << 0;
    QTest::newRow("Cancel") << "K4-DEMO" << 19200 << "K4-DEMO" << QStringList{"19200"} << "ttyS0" << 57600
                            << false << "K4-DEMO" << 19200 << 0;
}

void TestComDialog::choices()
{
    const QStringList system{"ttyS0", "ttyUSB0"}; // as the system would report them
    QFETCH(QString, name);
    QFETCH(int, rate);
    QFETCH(QString, choose);
    QFETCH(int, chooseRate);
    QFETCH(bool, ok);
    QFETCH(int, openedAt);
    g_link.portName = name;
    g_link.rate = rate;
    QStringList items, checkedRates;
    QString current;
    QTimer::singleShot(0, this, [&] {
        auto* dlg = QApplication::activeModalWidget();
        auto* ports = dlg->findChild<QComboBox*>("portCB");
        for (int i = 0; i < ports->count(); ++i)
            items << ports->itemText(i);
        current = ports->currentText();
        for (auto* rb : dlg->findChildren<QRadioButton*>())
            if (rb->isChecked())
                checkedRates << rb->text();
        if (!choose.isEmpty())
            ports->setCurrentText(choose);
        if (chooseRate)
            dlg->findChild<QRadioButton*>(QStringLiteral("rb%1").arg(chooseRate))->setChecked(true);
        dlg->findChild<QDialogButtonBox*>("buttonBox")
            ->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
            ->click();
    });
    runComPortDialog(nullptr, system);
    QCOMPARE(items, system + QStringList{"K4-DEMO"}); // the demo unit after the system's ports
    QTEST(current, "shown");
    QTEST(checkedRates, "checked");
    QTEST(g_link.portName, "newName");
    QTEST(g_link.rate, "newRate");
    QCOMPARE(linkIsOpen(), openedAt != 0);
    if (openedAt)
        QCOMPARE(demoUnit().baud(), openedAt);
}

QTEST_MAIN(TestComDialog)
#include "tst_com_dialog.moc"
