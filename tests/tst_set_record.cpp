// The acquisition parameters dialog: the parameter block shown and taken back, a session of the
// user's with OK or Cancel, and the set-up checks.

#include "boxwatch.h"
#include "rs232.h"
#include "set_record.h"
#include "umisc.h"
#include "ustrings.h"

#include <Velkit/vlk_init.h>
#include <Velkit/vlk_messager.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <tuple>

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

QString g_removeName; // widget the form hook takes away

} // namespace

class TestSetRecord : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void roundTrip();
    void session_data();
    void session();
    void setupChecks_data();
    void setupChecks();

private:
    QList<quint64> m_codes;
};

void TestSetRecord::initTestCase()
{
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    StringsKit::instance().fill();
    velkit::MessagerDaemon* messager = velkit::libraryMessager();
    QObject::disconnect(messager, &velkit::MessagerDaemon::sig_ShowCritical, messager,
                        &velkit::MessagerDaemon::slot_ShowCritical);
    connect(
        messager, &velkit::MessagerDaemon::sig_ShowCritical, this,
        [this](quint64 code) { m_codes.append(code); }, Qt::DirectConnection);
}

void TestSetRecord::roundTrip()
{
    // The block and flag shown and taken back unchanged; the frequency shown (45.78 Hz rounded).
    const QList<std::tuple<AcquisitionParameters, bool, QString>> cases = {
        {AcquisitionParameters(), false, "120000"},
        {block(1, 2, 5, 0, 3, 0, 1), true, "1000000"},
        {block(65534, 65534, 12, -4, 7, 1, 0), false, "46"}};
    for (const auto& [p, forAll, frequency] : cases) {
        TSetRecord dlg;
        QVERIFY(dlg.init());
        bool flag = forAll;
        AcquisitionParameters shown = p;
        dlg.transfer(shown, flag, true);
        QCOMPARE(dlg.frequencyBox()->text(), frequency);
        QCOMPARE(dlg.lengthBox()->text(), QString::number(2 * p.halfLength));
        AcquisitionParameters back = block(7, 7, 1, 1, 5, 1, 1);
        flag = !forAll;
        dlg.transfer(back, flag, false);
        QCOMPARE(back.toBytes().toHex(), p.toBytes().toHex());
        QCOMPARE(flag, forAll);
    }
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
    AcquisitionParameters p = block(50000, 24, 0, 3, 0, 0, 1);
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
    const AcquisitionParameters expected = ok ? block(35000, 2, 12, 0, 2, 0, 1) : before;
    QCOMPARE(p.toBytes().toHex(), expected.toBytes().toHex());
    QCOMPARE(forAll, ok);
}

void TestSetRecord::setupChecks_data()
{
    // A widget missing from the form is a critical error with its own condition code.
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("condition");
    const char* names[] = {"gBox1",   "gBox2",   "gBox3",   "gBox4",   "rb1_4",   "rb5_8", "rb9_12",
                           "rb13_16", "rb17_20", "rb21_24", "rb25_28", "rb29_32", "allBox"};
    const int codes[] = {0xA402, 0xA702, 0xAE02, 0xAE02, 0xB402, 0xB702, 0xBE02,
                         0xBE02, 0xA502, 0xA402, 0xA602, 0xAD02, 0xAD02};
    for (int i = 0; i < 13; ++i)
        QTest::newRow(names[i]) << QString(names[i]) << codes[i];
}

void TestSetRecord::setupChecks()
{
    QFETCH(QString, widget);
    m_codes.clear();
    TSetRecord intact;
    QVERIFY(intact.init());
    g_removeName = widget;
    TSetRecord::s_formHook = [](QDialog* dlg) { delete dlg->findChild<QWidget*>(g_removeName); };
    TSetRecord broken;
    QVERIFY(!broken.init());
    TSetRecord::s_formHook = nullptr;
    QCOMPARE(m_codes.size(), 1);
    QTEST(int(m_codes[0] & 0xFFFF), "condition");
}

QTEST_MAIN(TestSetRecord)
#include "tst_set_record.moc"
