#pragma once

// The settings dialog of the hit search: threshold in volts (its level in dB re 1 uV beside it),
// PDT, HDT and HLT in microseconds.

#include "ae/hits.h"

#include <QDialog>

#include <cmath>

namespace Ui {
class HitSetDialog;
}

namespace ae {

// The hit settings' four fields of a form (thresholdEdit, pdtEdit, hdtEdit, hltEdit), shared by
// the dialogs that ask for them.
template <class Form>
void showHitSettings(Form& form, const HitSettings& s)
{
    form.thresholdEdit->setValue(s.thresholdV);
    form.pdtEdit->setValue(int(std::lround(s.pdtUs)));
    form.hdtEdit->setValue(int(std::lround(s.hdtUs)));
    form.hltEdit->setValue(int(std::lround(s.hltUs)));
}

template <class Form>
HitSettings shownHitSettings(const Form& form)
{
    return HitSettings{form.thresholdEdit->value(), double(form.pdtEdit->value()),
                       double(form.hdtEdit->value()), double(form.hltEdit->value())};
}

} // namespace ae

class THitSetDlg : public QDialog
{
    Q_OBJECT
public:
    explicit THitSetDlg(QWidget* parent = nullptr);
    ~THitSetDlg() override;

    // The fields show s (times to whole microseconds, the threshold to 1 uV, within the fields'
    // ranges).
    void setSettings(const ae::HitSettings& s);
    ae::HitSettings settings() const;

private:
    void showDecibels(double volts);

    Ui::HitSetDialog* form = nullptr;
};

// The first step of the hit search: the dialog on s; true, with s taken from it, when accepted.
bool runHitSettingsDialog(QWidget* parent, ae::HitSettings& s);
