#pragma once

// The settings dialog of the hit search: threshold in volts (its level in dB re 1 uV beside it),
// PDT, HDT and HLT in microseconds.

#include "ae/hits.h"

#include <QDialog>

namespace Ui {
class HitSetDialog;
}

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
