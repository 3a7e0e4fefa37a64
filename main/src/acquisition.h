#pragma once

// One acquisition from the unit into a signal record, with a progress dialog and its STOP button.

#include <QDateTime>
#include <QDialog>
#include <QString>

class TWaveStor;

// A dialog that ignores close requests (the window's close button, Escape); the code that shows
// it ends it.
class UnClosableDialog : public QDialog
{
    Q_OBJECT
public:
    using QDialog::QDialog;

    // Escape presses STOP instead of being ignored (a series ends on Escape).
    bool escapeStops = false;

signals:
    void escapePressed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// What a run did, for callers that log it (the series).
struct AcquisitionReport
{
    bool escapeStops = false; // in: Escape in the progress dialog presses STOP
    QDateTime sentUtc;        // when the parameter block the unit accepted was sent
    QDateTime readUtc;        // after the last channel was read; invalid when that did not happen
    enum Failure { None, NoWindow, Parameters, UnitState, Channel, Stopped };
    Failure failure = None;
    int channel = -1; // the channel that could not be read
};
// The reason of a failed run in the words of the series log ("no answer to the parameters").
QString acquisitionFailureText(const AcquisitionReport& report);

// Sends the program's parameter block, waits until the unit has finished, reads every channel of
// record (already made with its channels and length) and then describes the record in its
// headers. STOP is connected to mainWindow's slot_tStopReleased(), which must call abortLink().
// False without a main window, when STOP cannot be connected, when a command fails three times
// in a row, on Stop, or when a channel slot is empty; the headers are then left as they were.
// Shows no message itself. report, when given, is filled in.
bool acquireFromUnit(TWaveStor& record, QWidget* mainWindow, AcquisitionReport* report = nullptr);
