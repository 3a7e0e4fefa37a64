#include "fmain.h"

#include "errors.h"
#include "init.h"
#include "ui_MainWindow.h"

#include <Velkit/vlk_init.h>

#include <QMdiArea>
#include <QTranslator>

MainWnd::MainWnd(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
}

MainWnd::~MainWnd()
{
    delete ui;
}

bool MainWnd::setupWindow()
{
    quint16 condition = 0;
    setAttribute(Qt::WA_DeleteOnClose);
    ui = new Ui::MainWindow;
    ui->setupUi(this);

    mdiArea = new QMdiArea(nullptr);
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea);
    if (condition == 0)
        return true;
    REPORT_CRITICAL(condition);
    return false;
}

void MainWnd::slot_BeforeQuit()
{
    delete g_translator; // a deleted translator removes itself from the application
    g_translator = nullptr;
    velkit::vlkShutdown();
}
