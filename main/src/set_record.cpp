#include "set_record.h"

#include "errors.h"
#include "rs232.h"
#include "ui_SetRecordDialog.h"
#include "umisc.h"
#include "ustrings.h"

#include <Velkit/vlk_math.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QRadioButton>

#include <algorithm>

namespace {

const char* const GroupButtons[8] = {"rb1_4",   "rb5_8",   "rb9_12",  "rb13_16",
                                     "rb17_20", "rb21_24", "rb25_28", "rb29_32"};
const char* const GainBoxes[4] = {"gBox1", "gBox2", "gBox3", "gBox4"};
const char* const InputLabels[4] = {"chl1", "chl2", "chl3", "chl4"};
constexpr int GainSteps = 13; // gains 1 ... 4096

} // namespace

void (*TSetRecord::s_formHook)(QDialog*) = nullptr;

QString MyFEditSpinBox::frequencyText(int v)
{
    const float hz = 3000000.0f / float(1 + (65536 - v));
    return QString::number(velkit::roundHalfAway(double(hz)));
}

QString MyFEditSpinBox::textFromValue(int v) const
{
    return frequencyText(v);
}

QString MyLEditSpinBox::textFromValue(int v) const
{
    return QString::number(v);
}

TSetRecord::TSetRecord(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{}

TSetRecord::~TSetRecord()
{
    delete form;
}

bool TSetRecord::init()
{
    quint16 condition = 0;
    form = new Ui::SetRecordDialog;
    form->setupUi(this);
    if (s_formHook)
        s_formHook(this);

    do {
        static const quint16 missingGain[4] = {0xA402, 0xA702, 0xAE02, 0xAE02};
        static const quint16 unwiredGain[4] = {0xA502, 0xAC02, 0xAF02, 0xAF02};
        QComboBox* gains[4] = {};
        for (int i = 0; i < 4 && !condition; ++i) {
            gains[i] = findChild<QComboBox*>(QLatin1String(GainBoxes[i]));
            if (!gains[i]) {
                condition = missingGain[i];
                break;
            }
            gains[i]->setCurrentIndex(0);
            if (!connect(gains[i], &QComboBox::currentIndexChanged, this,
                         &TSetRecord::slot_GBoxesCurrentIndexChanged))
                condition = unwiredGain[i];
        }
        if (condition)
            break;
        for (QComboBox* box : gains)
            for (int k = 0; k < GainSteps; ++k)
                box->addItem(QString::number(1 << k));

        static const quint16 missingGroup[8] = {0xB402, 0xB702, 0xBE02, 0xBE02,
                                                0xA502, 0xA402, 0xA602, 0xAD02};
        static const quint16 unwiredGroup[8] = {0xB502, 0xBC02, 0xBF02, 0xBF02,
                                                0xA602, 0xA502, 0xA702, 0xAE02};
        for (int g = 0; g < 8 && !condition; ++g) {
            QRadioButton* rb = findChild<QRadioButton*>(QLatin1String(GroupButtons[g]));
            if (!rb)
                condition = missingGroup[g];
            else if (!connect(rb, &QAbstractButton::released, this, &TSetRecord::slot_MuxRGReleased))
                condition = unwiredGroup[g];
        }
        if (condition)
            break;

        QCheckBox* all = findChild<QCheckBox*>(QStringLiteral("allBox"));
        if (!all) {
            condition = 0xAD02;
            break;
        }
        if (!connect(all, &QCheckBox::stateChanged, this, &TSetRecord::slot_AllBoxStateChanged)) {
            condition = 0xAE02;
            break;
        }

        QWidget* frame = findChild<QFrame*>(QStringLiteral("spinFrame"));
        fEdit = new MyFEditSpinBox(frame ? frame : this);
        fEdit->setObjectName(QStringLiteral("fEdit"));
        fEdit->setGeometry(120, 30, 82, 22);
        fEdit->setRange(MinFrequencyValue, MaxFrequencyValue);
        if (!connect(fEdit, &QSpinBox::valueChanged, this, &TSetRecord::slot_FEditValueChanged)) {
            condition = 0xB602;
            break;
        }

        lEdit = new MyLEditSpinBox(frame ? frame : this);
        lEdit->setObjectName(QStringLiteral("lEdit"));
        lEdit->setGeometry(120, 60, 82, 22);
        lEdit->setRange(MinLength, MaxLength);
        lEdit->setSingleStep(2);
        // The box rounds odd numbers down; doing that on every keystroke would rewrite the number
        // while it is being typed (a typed 7 would become 6), so only finished input counts.
        lEdit->setKeyboardTracking(false);
        if (!connect(lEdit, &QSpinBox::valueChanged, this, &TSetRecord::slot_LEditValueChanged)) {
            condition = 0xB502;
            break;
        }
        if (!connect(lEdit, &QAbstractSpinBox::editingFinished, this,
                     &TSetRecord::slot_LEditEditingFinished)) {
            condition = 0xB702;
            break;
        }
        if (QDialogButtonBox* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
            connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
            connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        }
    } while (false);

    if (condition) {
        REPORT_CRITICAL(condition);
        return false;
    }
    return true;
}

void TSetRecord::transfer(AcquisitionParameters& p, bool& forAll, bool intoDialog)
{
    QCheckBox* all = findChild<QCheckBox*>(QStringLiteral("allBox"));
    QRadioButton* internal = findChild<QRadioButton*>(QStringLiteral("rbInternal"));
    QRadioButton* external = findChild<QRadioButton*>(QStringLiteral("rbExternal"));
    QCheckBox* det = findChild<QCheckBox*>(QStringLiteral("detCB"));
    QComboBox* gains[4];
    for (int i = 0; i < 4; ++i)
        gains[i] = findChild<QComboBox*>(QLatin1String(GainBoxes[i]));
    QRadioButton* groups[8];
    for (int g = 0; g < 8; ++g)
        groups[g] = findChild<QRadioButton*>(QLatin1String(GroupButtons[g]));

    if (intoDialog) {
        if (all)
            all->setChecked(forAll);
        for (int i = 0; i < 4; ++i)
            if (gains[i])
                gains[i]->setCurrentIndex(p.gain[i]);
        if (p.mux < 8 && groups[p.mux])
            groups[p.mux]->setChecked(true);
        if (p.sync == 0) {
            if (internal)
                internal->setChecked(true);
        } else if (external) {
            external->setChecked(true);
        }
        fValue = quint16(65536 - p.waitCount);
        if (fEdit)
            fEdit->setValue(fValue);
        lValue = 2 * int(p.halfLength);
        if (lEdit)
            lEdit->setValue(lValue);
        if (det)
            det->setChecked(p.detector != 0);
        return;
    }

    if (all)
        forAll = all->isChecked();
    for (int i = 0; i < 4; ++i)
        if (gains[i])
            p.gain[i] = quint8(std::max(0, gains[i]->currentIndex()));
    int mux = 0;
    for (int g = 0; g < 8; ++g) {
        if (groups[g] && groups[g]->isChecked()) {
            mux = g;
            break;
        }
    }
    p.mux = quint8(std::clamp(mux, 0, 255));
    p.sync = (internal && internal->isChecked()) ? 0 : 1;
    p.detector = (det && det->isChecked()) ? 1 : 0;
    p.waitCount = quint16(65536 - int(fValue));
    p.halfLength = quint16(lValue / 2);
}

void TSetRecord::slot_MuxRGReleased()
{
    int g = -1;
    for (int k = 0; k < 8; ++k) {
        QRadioButton* rb = findChild<QRadioButton*>(QLatin1String(GroupButtons[k]));
        if (rb && rb->isChecked()) {
            g = k;
            break;
        }
    }
    if (g < 0)
        return;
    for (int i = 0; i < 4; ++i)
        if (QLabel* label = findChild<QLabel*>(QLatin1String(InputLabels[i])))
            label->setText(tr("Вход ") + QString::number(4 * g + i + 1));
}

void TSetRecord::slot_AllBoxStateChanged(int state)
{
    if (state != Qt::Checked)
        return;
    QComboBox* first = findChild<QComboBox*>(QLatin1String(GainBoxes[0]));
    if (!first)
        return;
    for (int i = 1; i < 4; ++i)
        if (QComboBox* box = findChild<QComboBox*>(QLatin1String(GainBoxes[i])))
            box->setCurrentIndex(first->currentIndex());
}

void TSetRecord::slot_GBoxesCurrentIndexChanged(int index)
{
    QCheckBox* all = findChild<QCheckBox*>(QStringLiteral("allBox"));
    if (!all || !all->isChecked() || !qobject_cast<QComboBox*>(sender()))
        return;
    for (int i = 0; i < 4; ++i)
        if (QComboBox* box = findChild<QComboBox*>(QLatin1String(GainBoxes[i])))
            box->setCurrentIndex(index);
}

void TSetRecord::slot_FEditValueChanged(int i)
{
    fValue = quint16(std::clamp(i, MinFrequencyValue, MaxFrequencyValue));
    fEdit->setValue(fValue);
}

void TSetRecord::slot_LEditEditingFinished()
{
    int v = lEdit->value();
    if (v < MinLength || v > MaxLength) {
        umisc::showWarning(StringsKit::WarnWrongNumber, QString(), QString(), true, true);
        v = std::clamp(v, MinLength, MaxLength);
    }
    lValue = v;
    lEdit->setValue(v);
}

void TSetRecord::slot_LEditValueChanged(int i)
{
    int v = std::clamp(i, MinLength, MaxLength);
    v -= v % 2;
    lValue = v;
    lEdit->setValue(v);
}

bool runAcquisitionParametersDialog(QWidget* parent, AcquisitionParameters& parameters, bool& forAll)
{
    auto* dlg = new TSetRecord(parent, Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                           Qt::WindowSystemMenuHint);
    const bool ready = dlg->init();
    if (ready) {
        dlg->transfer(parameters, forAll, true);
        if (dlg->exec() == QDialog::Accepted)
            dlg->transfer(parameters, forAll, false);
    }
    delete dlg;
    return ready;
}
