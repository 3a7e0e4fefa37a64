// The acquisition parameters dialog: mappings between the parameter block and the dialog, the
// spin boxes, the gain and group controls, and the set-up checks.

#include "build/files_list.h"
#include "rs232.h"
#include "set_record.h"
#include "umisc.h"
#include "ustrings.h"

#include <Velkit/vlk_errors.h>
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

#include <memory>

namespace {

QString g_removeName; // widget the form hook takes away

void removeWidget(QDialog* dlg)
{
    delete dlg->findChild<QWidget*>(g_removeName);
}

std::unique_ptr<TSetRecord> makeDialog()
{
    auto dlg = std::make_unique<TSetRecord>();
    if (!dlg->init())
        return nullptr;
    return dlg;
}

QComboBox* gainBox(QDialog* d, int i)
{
    return d->findChild<QComboBox*>(QStringLiteral("gBox%1").arg(i));
}

} // namespace

class TestSetRecord : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void frequencyText_data();
    void frequencyText();
    void blockIntoDialog();
    void roundTrip_data();
    void roundTrip();
    void typedLengthIsMadeEven();
    void lengthSlotClamps_data();
    void lengthSlotClamps();
    void gainsForAll();
    void groupRenamesInputs();
    void cancelChangesNothing();
    void okTakesTheDialog();
    void setupChecks_data();
    void setupChecks();

private:
    QList<quint64> m_codes;
    int m_fileIndex = 0;
};

void TestSetRecord::initTestCase()
{
    QCOMPARE(velkit::vlkInit(umisc::programHooks()), 0);
    StringsKit::instance().fill();
    velkit::registerSourceFiles(tavrelFilesList, tavrelFilesListCount);
    for (int i = 1; i <= tavrelFilesListCount; ++i)
        if (QByteArray(tavrelFilesList[i]).endsWith("main/src/set_record.cpp"))
            m_fileIndex = velkit::sourceFileIndex(tavrelFilesList[i]);
    QVERIFY(m_fileIndex > 0);
    velkit::MessagerDaemon* messager = velkit::libraryMessager();
    QVERIFY(messager);
    QObject::disconnect(messager, &velkit::MessagerDaemon::sig_ShowCritical, messager,
                        &velkit::MessagerDaemon::slot_ShowCritical);
    connect(
        messager, &velkit::MessagerDaemon::sig_ShowCritical, this,
        [this](quint64 code) { m_codes.append(code); }, Qt::DirectConnection);
}

void TestSetRecord::cleanupTestCase()
{
    velkit::vlkShutdown();
}

void TestSetRecord::init()
{
    m_codes.clear();
    TSetRecord::s_formHook = nullptr;
}

void TestSetRecord::frequencyText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("waitCount 24") << 65512 << "120000";
    QTest::newRow("waitCount 2") << 65534 << "1000000";
    QTest::newRow("waitCount 65534") << 2 << "46"; // 45.78 Hz
    QTest::newRow("waitCount 7") << 65529 << "375000";
}

void TestSetRecord::frequencyText()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QCOMPARE(MyFEditSpinBox::frequencyText(value), text);
    auto dlg = makeDialog();
    QVERIFY(dlg);
    dlg->frequencyBox()->setValue(value);
    QCOMPARE(dlg->frequencyBox()->text(), text);
}

void TestSetRecord::blockIntoDialog()
{
    auto dlg = makeDialog();
    QVERIFY(dlg);
    AcquisitionParameters p;
    p.waitCount = 24;
    p.halfLength = 50000;
    p.gain[0] = 3;
    p.mux = 6;
    p.sync = 1;
    p.detector = 0;
    bool forAll = false;
    dlg->transfer(p, forAll, true);
    QCOMPARE(dlg->frequencyBox()->value(), 65512);
    QCOMPARE(dlg->frequencyBox()->text(), QStringLiteral("120000"));
    QCOMPARE(dlg->lengthBox()->text(), QStringLiteral("100000"));
    QCOMPARE(gainBox(dlg.get(), 1)->currentText(), QStringLiteral("8"));
    QCOMPARE(gainBox(dlg.get(), 2)->currentIndex(), 0);
    QVERIFY(dlg->findChild<QRadioButton*>("rb25_28")->isChecked());
    QVERIFY(dlg->findChild<QRadioButton*>("rbExternal")->isChecked());
    QVERIFY(!dlg->findChild<QCheckBox*>("detCB")->isChecked());
    QVERIFY(!dlg->findChild<QCheckBox*>("allBox")->isChecked());
    // The rows are renamed only when a group button is released.
    QCOMPARE(dlg->findChild<QLabel*>("chl1")->text(), QStringLiteral("Вход 1"));

    p.waitCount = 2;
    dlg->transfer(p, forAll, true);
    QCOMPARE(dlg->frequencyBox()->text(), QStringLiteral("1000000"));
}

void TestSetRecord::roundTrip_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<bool>("forAll");
    AcquisitionParameters p;
    QTest::newRow("defaults") << p.toBytes() << false;
    p.halfLength = 65534;
    p.waitCount = 65534;
    p.gain[0] = 12;
    p.gain[1] = 0;
    p.gain[2] = 7;
    p.gain[3] = 1;
    p.mux = 7;
    p.sync = 1;
    p.detector = 0;
    QTest::newRow("extremes") << p.toBytes() << false;
    p.halfLength = 1;
    p.waitCount = 2;
    for (quint8& g : p.gain)
        g = 5;
    p.mux = 3;
    QTest::newRow("for all") << p.toBytes() << true;
}

void TestSetRecord::roundTrip()
{
    QFETCH(QByteArray, block);
    QFETCH(bool, forAll);
    AcquisitionParameters in;
    QVERIFY(in.fromBytes(block));
    auto dlg = makeDialog();
    QVERIFY(dlg);
    bool flag = forAll;
    dlg->transfer(in, flag, true);
    AcquisitionParameters out;
    bool back = !forAll;
    dlg->transfer(out, back, false);
    QCOMPARE(out.toBytes().toHex(), block.toHex());
    QCOMPARE(back, forAll);
}

void TestSetRecord::typedLengthIsMadeEven()
{
    auto dlg = makeDialog();
    QVERIFY(dlg);
    dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    QLineEdit* edit = dlg->lengthBox()->findChild<QLineEdit*>();
    QVERIFY(edit);
    dlg->lengthBox()->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "70001");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(dlg->lengthValue(), 70000);
    QCOMPARE(dlg->lengthBox()->text(), QStringLiteral("70000"));
    AcquisitionParameters p;
    bool forAll = false;
    dlg->transfer(p, forAll, false);
    QCOMPARE(p.halfLength, quint16(35000));
}

void TestSetRecord::lengthSlotClamps_data()
{
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("below") << 1 << 2;
    QTest::newRow("negative") << -4 << 2;
    QTest::newRow("odd") << 7 << 6;
    QTest::newRow("above") << 131069 << 131068;
    QTest::newRow("far above") << 1000000 << 131068;
    QTest::newRow("even") << 100000 << 100000;
}

void TestSetRecord::lengthSlotClamps()
{
    QFETCH(int, in);
    QFETCH(int, out);
    auto dlg = makeDialog();
    QVERIFY(dlg);
    dlg->slot_LEditValueChanged(in);
    QCOMPARE(dlg->lengthValue(), out);
    QCOMPARE(dlg->lengthBox()->value(), out);
}

void TestSetRecord::gainsForAll()
{
    auto dlg = makeDialog();
    QVERIFY(dlg);
    QCheckBox* all = dlg->findChild<QCheckBox*>("allBox");
    all->setChecked(false);
    gainBox(dlg.get(), 1)->setCurrentIndex(4);
    gainBox(dlg.get(), 2)->setCurrentIndex(2);
    QCOMPARE(gainBox(dlg.get(), 3)->currentIndex(), 0);
    // Checking the box copies the first input's gain to the others.
    all->setChecked(true);
    for (int i = 1; i <= 4; ++i)
        QCOMPARE(gainBox(dlg.get(), i)->currentIndex(), 4);
    // While it is checked, any box changes all four.
    gainBox(dlg.get(), 3)->setCurrentIndex(9);
    for (int i = 1; i <= 4; ++i)
        QCOMPARE(gainBox(dlg.get(), i)->currentText(), QStringLiteral("512"));
    QCOMPARE(gainBox(dlg.get(), 4)->count(), 13);
    QCOMPARE(gainBox(dlg.get(), 4)->itemText(12), QStringLiteral("4096"));
}

void TestSetRecord::groupRenamesInputs()
{
    auto dlg = makeDialog();
    QVERIFY(dlg);
    dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    QTest::mouseClick(dlg->findChild<QRadioButton*>("rb9_12"), Qt::LeftButton);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(dlg->findChild<QLabel*>(QStringLiteral("chl%1").arg(i + 1))->text(),
                 QStringLiteral("Вход %1").arg(9 + i));
    AcquisitionParameters p;
    bool forAll = false;
    dlg->transfer(p, forAll, false);
    QCOMPARE(p.mux, quint8(2));
}

void TestSetRecord::cancelChangesNothing()
{
    AcquisitionParameters p;
    p.gain[1] = 2;
    const QByteArray before = p.toBytes();
    bool forAll = false;
    QTimer::singleShot(0, this, [] {
        auto* dlg = qobject_cast<TSetRecord*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        dlg->findChild<QCheckBox*>("allBox")->setChecked(true);
        dlg->findChild<QRadioButton*>("rb29_32")->setChecked(true);
        dlg->findChild<QCheckBox*>("detCB")->setChecked(false);
        dlg->lengthBox()->setValue(1000);
        dlg->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Cancel)->click();
    });
    QVERIFY(runAcquisitionParametersDialog(nullptr, p, forAll));
    QCOMPARE(p.toBytes().toHex(), before.toHex());
    QVERIFY(!forAll);
}

void TestSetRecord::okTakesTheDialog()
{
    AcquisitionParameters p;
    bool forAll = false;
    bool seen = false;
    QTimer::singleShot(0, this, [&seen] {
        auto* dlg = qobject_cast<TSetRecord*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        seen = dlg->windowTitle() == QStringLiteral("Установка параметров оцифровки");
        dlg->findChild<QCheckBox*>("allBox")->setChecked(true);
        dlg->findChild<QRadioButton*>("rb29_32")->setChecked(true);
        dlg->findChild<QRadioButton*>("rbExternal")->setChecked(true);
        dlg->lengthBox()->setValue(1000);
        dlg->frequencyBox()->setValue(65000);
        dlg->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    });
    QVERIFY(runAcquisitionParametersDialog(nullptr, p, forAll));
    QVERIFY(seen);
    QVERIFY(forAll);
    QCOMPARE(p.mux, quint8(7));
    QCOMPARE(p.sync, quint8(1));
    QCOMPARE(p.halfLength, quint16(500));
    QCOMPARE(p.waitCount, quint16(536));
}

void TestSetRecord::setupChecks_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("condition");
    QTest::newRow("gBox1") << "gBox1" << 0xA402;
    QTest::newRow("gBox2") << "gBox2" << 0xA702;
    QTest::newRow("gBox3") << "gBox3" << 0xAE02;
    QTest::newRow("gBox4") << "gBox4" << 0xAE02;
    QTest::newRow("rb1_4") << "rb1_4" << 0xB402;
    QTest::newRow("rb5_8") << "rb5_8" << 0xB702;
    QTest::newRow("rb9_12") << "rb9_12" << 0xBE02;
    QTest::newRow("rb13_16") << "rb13_16" << 0xBE02;
    QTest::newRow("rb17_20") << "rb17_20" << 0xA502;
    QTest::newRow("rb21_24") << "rb21_24" << 0xA402;
    QTest::newRow("rb25_28") << "rb25_28" << 0xA602;
    QTest::newRow("rb29_32") << "rb29_32" << 0xAD02;
    QTest::newRow("allBox") << "allBox" << 0xAD02;
}

void TestSetRecord::setupChecks()
{
    QFETCH(QString, widget);
    QFETCH(int, condition);
    g_removeName = widget;
    TSetRecord::s_formHook = removeWidget;
    TSetRecord dlg;
    QVERIFY(!dlg.init());
    QCOMPARE(m_codes.size(), 1);
    QCOMPARE(int(m_codes[0] & 0xFFFF), condition);
    QCOMPARE(int((m_codes[0] >> 32) & 0xFFFF), m_fileIndex);
    // With the form intact, no report.
    m_codes.clear();
    TSetRecord::s_formHook = nullptr;
    TSetRecord ok;
    QVERIFY(ok.init());
    QVERIFY(m_codes.isEmpty());
}

QTEST_MAIN(TestSetRecord)
#include "tst_set_record.moc"
