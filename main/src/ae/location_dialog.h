#pragma once

// The settings dialog of source location: per channel a tick and the sensor's X and Y in metres,
// the wave velocity, the arrival pick, the AIC and event windows, and the hit search's settings
// that the location uses.

#include "ae/location.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace Ui {
class LocationDialog;
}

class TLocationDlg : public QDialog
{
    Q_OBJECT
public:
    explicit TLocationDlg(QWidget* parent = nullptr);
    ~TLocationDlg() override;

    // The rows of channels beyond channelCount are disabled and take no part (their values are
    // kept).
    void setChannelCount(int channelCount);
    void setSettings(const ae::LocationSetup& location, const ae::HitSettings& hits);
    // The fields as set-ups; a coordinate that does not read as a number keeps its last value.
    ae::LocationSetup location() const;
    ae::HitSettings hits() const;
    // The first problem of the fields of the enabled rows (a coordinate that is not a number comes
    // as BadPosition of its channel), Ok when there is none.
    ae::LocationCheck check() const;

    void accept() override; // only a set-up without a problem; else its warning, and stay

private:
    void refreshHints();

    Ui::LocationDialog* form = nullptr;
    QCheckBox* m_use[ae::LocationSetup::Channels] = {};
    QLineEdit* m_x[ae::LocationSetup::Channels] = {};
    QLineEdit* m_y[ae::LocationSetup::Channels] = {};
    ae::LocationSetup m_last; // what the coordinates that do not read fall back to
    int m_channels = ae::LocationSetup::Channels;
};

// The warning of a location problem (catalogue 0x1520 ...); text is the offending coordinate.
void showLocationProblem(const ae::LocationCheck& check, const QString& text = QString());

// The first step of the location command: the dialog on the settings, for a record of
// channelCount channels; true, with the settings taken from it, when accepted.
bool runLocationDialog(QWidget* parent, int channelCount, ae::LocationSetup& location, ae::HitSettings& hits);
