// The acquisition parameters dialog: a session of the user's with OK or Cancel.

#include "boxwatch.h"
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

namespace {

AcquisitionParameters block(quint16 half, quint16 wait, int gain, int step, quint8 mux, quint8 sync,
                            quint8 detector)
{
    AcquisitionParameters p;
    p.halfLength = half;
    p.waitCount = wait;
    for (int i = 0; i < 4; ++i)
        p.gain[i] = quint8(gain + step * i);
    p.mux = mux;
    p.sync = sync;
    p.detector = detector;
    return p;
}

} // namespace

class TestSetRecord : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void session_data();
    void session();
};

void TestSetRecord::initTestCase()
{
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    StringsKit::instance().fill();
}

void TestSetRecord::session_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

void TestSetRecord::session()
{
    QFETCH(bool, ok);
    AcquisitionParameters p = block(50000, 24, 0, 3, 0, 1, 1); // external sync, kept
    const AcquisitionParameters before = p;
    bool forAll = false;
    QStringList seen;
    QTimer::singleShot(0, this, [&] {
        auto* dlg = qobject_cast<TSetRecord*>(QApplication::activeModalWidget());
        auto gain = [dlg](int i) { return dlg->findChild<QComboBox*>(QStringLiteral("gBox%1").arg(i)); };
        QTest::mouseClick(dlg->findChild<QRadioButton*>("rb9_12"), Qt::LeftButton);
        for (int i = 1; i <= 4; ++i)
            seen << dlg->findChild<QLabel*>(QStringLiteral("chl%1").arg(i))->text();
        gain(1)->setCurrentIndex(4);
        dlg->findChild<QCheckBox*>("allBox")->setChecked(true); // the first input's gain for all
        seen << gain(4)->currentText();
        gain(3)->setCurrentIndex(12); // any box then changes all four
        seen << gain(1)->currentText();
        QLineEdit* edit = dlg->lengthBox()->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, "70001");
        QTest::keyClick(edit, Qt::Key_Return);
        seen << dlg->lengthBox()->text();
        dlg->frequencyBox()->setValue(65534);
        seen << dlg->frequencyBox()->text();
        dlg->findChild<QDialogButtonBox*>("buttonBox")
            ->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
            ->click();
    });
    QVERIFY(runAcquisitionParametersDialog(nullptr, p, forAll));
    QCOMPARE(seen,
             (QStringList{"Вход 9", "Вход 10", "Вход 11", "Вход 12", "16", "4096", "70000", "1000000"}));
    const AcquisitionParameters expected = ok ? block(35000, 2, 12, 0, 2, 1, 1) : before;
    QCOMPARE(p.toBytes().toHex(), expected.toBytes().toHex());
    QCOMPARE(forAll, ok);
}

QTEST_MAIN(TestSetRecord)
#include "tst_set_record.moc"
