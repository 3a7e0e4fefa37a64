#pragma once

#include <QMainWindow>

class QMdiArea;

namespace Ui {
class MainWindow;
}

// The program's one top-level window: an MDI area holding the waveform windows.
class MainWnd : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWnd(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~MainWnd() override;

    // Second phase of construction; false after a critical error has been reported.
    bool setupWindow();

    QMdiArea* mdi() const { return mdiArea; }

public slots:
    void slot_BeforeQuit();

private:
    Ui::MainWindow* ui = nullptr;
    QMdiArea* mdiArea = nullptr;
};
