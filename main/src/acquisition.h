#pragma once

// One acquisition from the unit into a signal record, with a progress dialog and its STOP button.

#include <QDialog>

class TWaveStor;

// A dialog that ignores close requests (the window's close button, Escape); the code that shows
// it ends it. It shows the progress of a run, modal, for as long as the run lasts: when it goes,
// the window below it is active again.
class UnClosableDialog : public QDialog
{
    Q_OBJECT
public:
    using QDialog::QDialog;
    ~UnClosableDialog() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

// Sends the program's parameter block, waits until the unit has finished, reads every channel of
// record (already made with its channels and length) and then describes the record in its
// headers. STOP is connected to mainWindow's slot_tStopReleased(), which must call abortLink().
// False without a main window, when STOP cannot be connected, when a command fails three times
// in a row, on Stop, or when a channel slot is empty; the headers are then left as they were.
// Shows no message itself.
bool acquireFromUnit(TWaveStor& record, QWidget* mainWindow);
