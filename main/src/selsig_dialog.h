#pragma once

// The channel selection dialog: the user ticks the channels a command shall change. The caller
// sets the title and the channel count, runs it and asks channel by channel.

#include <QDialog>

namespace Ui {
class SelSigDialog;
}

class TSelSigDlg : public QDialog
{
    Q_OBJECT
public:
    explicit TSelSigDlg(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~TSelSigDlg() override;

    // Makes the form and connects its buttons; false after a critical error has been reported.
    bool init();
    // Shows the boxes of channels 1 ... n (at most 4); hidden boxes keep their ticks.
    void setChannelCount(int n);
    // Whether box i + 1 is ticked; false for i outside 0 ... 3 and before init.
    bool isSelected(int i) const;

public slots:
    // Ticks all four boxes, hidden ones included.
    void slot_AllOnReleased();

private:
    Ui::SelSigDialog* form = nullptr;
};
