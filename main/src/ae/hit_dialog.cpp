#include "ae/hit_dialog.h"

#include "ui_HitSetDialog.h"

#include <QPushButton>

#include <cmath>

THitSetDlg::THitSetDlg(QWidget* parent)
    : QDialog(parent, Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint)
    , form(new Ui::HitSetDialog)
{
    form->setupUi(this);
    connect(form->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(form->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(form->thresholdEdit, &QDoubleSpinBox::valueChanged, this, &THitSetDlg::showDecibels);
    setSettings(ae::HitSettings());
}

THitSetDlg::~THitSetDlg()
{
    delete form;
}

void THitSetDlg::setSettings(const ae::HitSettings& s)
{
    ae::showHitSettings(*form, s);
    showDecibels(form->thresholdEdit->value());
}

ae::HitSettings THitSetDlg::settings() const
{
    return ae::shownHitSettings(*form);
}

void THitSetDlg::showDecibels(double volts)
{
    form->thresholdDb->setText(tr("= %1 дБ отн. 1 мкВ").arg(ae::decibelsReMicrovolt(volts), 0, 'f', 1));
}

bool runHitSettingsDialog(QWidget* parent, ae::HitSettings& s)
{
    THitSetDlg dlg(parent);
    dlg.setSettings(s);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    s = dlg.settings();
    return true;
}
