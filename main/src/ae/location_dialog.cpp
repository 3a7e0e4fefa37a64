#include "ae/location_dialog.h"

#include "ae/hit_dialog.h"

#include "umisc.h"
#include "ustrings.h"

#include "ui_LocationDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {

// A coordinate as typed: dot or comma decimals; empty reads as "no value" (not a number).
bool readCoordinate(const QString& text, double& value)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        value = std::nan("");
        return true;
    }
    bool ok = false;
    const double v = QString(t).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

QString coordinateText(double v)
{
    return std::isnan(v) ? QString() : QString::number(v, 'g', 10);
}

} // namespace

TLocationDlg::TLocationDlg(QWidget* parent)
    : QDialog(parent, Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint)
    , form(new Ui::LocationDialog)
{
    form->setupUi(this);
    m_use[0] = form->useCheck1, m_use[1] = form->useCheck2, m_use[2] = form->useCheck3;
    m_use[3] = form->useCheck4, m_use[4] = form->useCheck5;
    m_x[0] = form->xEdit1, m_x[1] = form->xEdit2, m_x[2] = form->xEdit3, m_x[3] = form->xEdit4;
    m_x[4] = form->xEdit5;
    m_y[0] = form->yEdit1, m_y[1] = form->yEdit2, m_y[2] = form->yEdit3, m_y[3] = form->yEdit4;
    m_y[4] = form->yEdit5;
    connect(form->buttonBox, &QDialogButtonBox::accepted, this, &TLocationDlg::accept);
    connect(form->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (int ch = 0; ch < ae::LocationSetup::Channels; ++ch) {
        connect(m_use[ch], &QCheckBox::toggled, this, &TLocationDlg::refreshHints);
        connect(m_x[ch], &QLineEdit::textChanged, this, &TLocationDlg::refreshHints);
        connect(m_y[ch], &QLineEdit::textChanged, this, &TLocationDlg::refreshHints);
    }
    connect(form->velocityEdit, &QDoubleSpinBox::valueChanged, this, &TLocationDlg::refreshHints);
    connect(form->eventEdit, &QSpinBox::valueChanged, this, &TLocationDlg::refreshHints);
    connect(form->pickCombo, &QComboBox::currentIndexChanged, this, &TLocationDlg::refreshHints);
    connect(form->thresholdEdit, &QDoubleSpinBox::valueChanged, this, &TLocationDlg::refreshHints);
    setSettings(ae::LocationSetup(), ae::HitSettings());
}

TLocationDlg::~TLocationDlg()
{
    delete form;
}

void TLocationDlg::setChannelCount(int channelCount)
{
    m_channels = std::clamp(channelCount, 0, int(ae::LocationSetup::Channels));
    for (int ch = 0; ch < ae::LocationSetup::Channels; ++ch) {
        const bool present = ch < m_channels;
        for (QWidget* w : {static_cast<QWidget*>(m_use[ch]), static_cast<QWidget*>(m_x[ch]),
                           static_cast<QWidget*>(m_y[ch])}) {
            w->setEnabled(present);
            if (!present)
                w->setToolTip(tr("Этого канала нет в записи"));
        }
    }
    refreshHints();
}

void TLocationDlg::setSettings(const ae::LocationSetup& location, const ae::HitSettings& hits)
{
    m_last = location;
    for (int ch = 0; ch < ae::LocationSetup::Channels; ++ch) {
        m_use[ch]->setChecked(location.channels[ch].used);
        m_x[ch]->setText(coordinateText(location.channels[ch].x));
        m_y[ch]->setText(coordinateText(location.channels[ch].y));
    }
    form->velocityEdit->setValue(location.velocityMps);
    form->pickCombo->setCurrentIndex(location.pick == ae::PickMethod::Aic ? 0 : 1);
    form->aicEdit->setValue(int(std::lround(location.aicWindowUs)));
    form->eventEdit->setValue(int(std::lround(location.eventWindowUs)));
    ae::showHitSettings(*form, hits);
    refreshHints();
}

ae::LocationSetup TLocationDlg::location() const
{
    ae::LocationSetup s = m_last;
    for (int ch = 0; ch < ae::LocationSetup::Channels; ++ch) {
        ae::LocationSetup::Channel& c = s.channels[ch];
        c.used = m_use[ch]->isChecked();
        double v = 0;
        if (readCoordinate(m_x[ch]->text(), v) && !std::isnan(v))
            c.x = v;
        if (readCoordinate(m_y[ch]->text(), v))
            c.y = v;
    }
    s.velocityMps = form->velocityEdit->value();
    s.pick = form->pickCombo->currentIndex() == 1 ? ae::PickMethod::Threshold : ae::PickMethod::Aic;
    s.aicWindowUs = form->aicEdit->value();
    s.eventWindowUs = form->eventEdit->value();
    return s;
}

ae::HitSettings TLocationDlg::hits() const
{
    return ae::shownHitSettings(*form);
}

ae::LocationCheck TLocationDlg::check() const
{
    for (int ch = 0; ch < m_channels; ++ch) {
        double x = 0, y = 0;
        if (m_use[ch]->isChecked() &&
            (!readCoordinate(m_x[ch]->text(), x) || std::isnan(x) || !readCoordinate(m_y[ch]->text(), y)))
            return {ae::LocationCheck::BadPosition, ch};
    }
    ae::LocationSettings s;
    return ae::fromSetup(location(), s, m_channels);
}

void TLocationDlg::accept()
{
    const ae::LocationCheck c = check();
    if (!c) {
        QString text;
        if (c.problem == ae::LocationCheck::BadPosition && c.a >= 0 && c.a < ae::LocationSetup::Channels) {
            double x = 0;
            text =
                readCoordinate(m_x[c.a]->text(), x) && !std::isnan(x) ? m_y[c.a]->text() : m_x[c.a]->text();
            if (text.trimmed().isEmpty())
                text = tr("(пусто)");
        }
        showLocationProblem(c, text);
        return;
    }
    QDialog::accept();
}

void TLocationDlg::refreshHints()
{
    form->thresholdDb->setText(
        tr("= %1 дБ отн. 1 мкВ").arg(ae::decibelsReMicrovolt(form->thresholdEdit->value()), 0, 'f', 1));
    form->aicEdit->setEnabled(form->pickCombo->currentIndex() == 0);
    ae::LocationSettings s;
    ae::LocationSetup automatic = location();
    automatic.eventWindowUs = 0;
    if (check() && ae::fromSetup(automatic, s, m_channels))
        form->eventAuto->setText(form->eventEdit->value() == 0
                                     ? tr("(по датчикам: %1 мкс)").arg(ae::eventWindowUs(s), 0, 'f', 0)
                                     : QString());
    else
        form->eventAuto->clear();
}

void showLocationProblem(const ae::LocationCheck& check, const QString& text)
{
    const QString a = QString::number(check.a + 1), b = QString::number(check.b + 1);
    switch (check.problem) {
    case ae::LocationCheck::Ok: return;
    case ae::LocationCheck::BadVelocity: umisc::showWarning(StringsKit::WarnLocationVelocity); return;
    case ae::LocationCheck::TooFewSensors: umisc::showWarning(StringsKit::WarnLocationTooFew); return;
    case ae::LocationCheck::ChannelTwice: // one row per channel: only a damaged set-up
    case ae::LocationCheck::BadPosition:
        umisc::showWarning(StringsKit::WarnLocationPosition, a, text);
        return;
    case ae::LocationCheck::CoincidentSensors:
        umisc::showWarning(StringsKit::WarnLocationCoincident, a, b);
        return;
    case ae::LocationCheck::MixedDimensions: umisc::showWarning(StringsKit::WarnLocationMixed); return;
    case ae::LocationCheck::NoPeriod: umisc::showWarning(StringsKit::WarnLocationNoPeriod); return;
    case ae::LocationCheck::MissingChannel:
        umisc::showWarning(StringsKit::WarnLocationMissingChannel, a);
        return;
    }
}

bool runLocationDialog(QWidget* parent, int channelCount, ae::LocationSetup& location, ae::HitSettings& hits)
{
    TLocationDlg dlg(parent);
    dlg.setSettings(location, hits);
    dlg.setChannelCount(channelCount);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    location = dlg.location();
    hits = dlg.hits();
    return true;
}
