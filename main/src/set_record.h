#pragma once

// The acquisition parameters dialog: input group, gain per input, synchronisation, detector,
// sampling frequency and number of samples, edited on the program's parameter block.

#include <QDialog>
#include <QSpinBox>

struct AcquisitionParameters;

namespace Ui {
class SetRecordDialog;
}

// Frequency box: its value v stands for the sampling frequency 3 MHz / (1 + (65536 - v)),
// which it shows in hertz.
class MyFEditSpinBox : public QSpinBox
{
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;
    // The text shown for value v.
    static QString frequencyText(int v);

protected:
    QString textFromValue(int v) const override;
};

// Number-of-samples box: a plain decimal number without group separators.
class MyLEditSpinBox : public QSpinBox
{
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int v) const override;
};

class TSetRecord : public QDialog
{
    Q_OBJECT
public:
    static constexpr int MinLength = 2;
    static constexpr int MaxLength = 131068;
    static constexpr int MinFrequencyValue = 2;
    static constexpr int MaxFrequencyValue = 65534;

    explicit TSetRecord(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~TSetRecord() override;

    // Second phase of construction: the form, the spin boxes and the connections. False after a
    // critical error has been reported.
    bool init();
    // Copies between the parameter block (and the for-all flag) and the dialog.
    void transfer(AcquisitionParameters& parameters, bool& forAll, bool intoDialog);

    MyFEditSpinBox* frequencyBox() const { return fEdit; }
    MyLEditSpinBox* lengthBox() const { return lEdit; }
    int lengthValue() const { return lValue; }
    quint16 frequencyValue() const { return fValue; }

    // Lets tests take a widget away from the form before it is wired.
    static void (*s_formHook)(QDialog* dialog);

public slots:
    void slot_MuxRGReleased();
    void slot_AllBoxStateChanged(int state);
    void slot_GBoxesCurrentIndexChanged(int index);
    void slot_FEditValueChanged(int i);
    void slot_LEditEditingFinished();
    void slot_LEditValueChanged(int i);

private:
    Ui::SetRecordDialog* form = nullptr;
    MyFEditSpinBox* fEdit = nullptr;
    MyLEditSpinBox* lEdit = nullptr;
    int lValue = 0;
    quint16 fValue = 2;
};

// The command of the main window: runs the dialog on the block and the flag; they change only
// when the user accepts. False when the dialog could not be set up.
bool runAcquisitionParametersDialog(QWidget* parent, AcquisitionParameters& parameters, bool& forAll);
