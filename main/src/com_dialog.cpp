#include "com_dialog.h"

#include "rs232.h"
#include "ui_SetupRS.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QRadioButton>
#include <QSerialPortInfo>

#include <memory>

QStringList systemPortNames()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return names;
}

void runComPortDialog(QWidget* parent)
{
    runComPortDialog(parent, systemPortNames());
}

void runComPortDialog(QWidget* parent, const QStringList& systemPorts)
{
    auto form = std::make_unique<Ui::SetupRS>();
    auto dlg = std::make_unique<QDialog>(parent, Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                                     Qt::WindowSystemMenuHint);
    form->setupUi(dlg.get());
    if (QDialogButtonBox* buttons = dlg->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        QObject::connect(buttons, &QDialogButtonBox::accepted, dlg.get(), &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, dlg.get(), &QDialog::reject);
    }

    QComboBox* portCB = dlg->findChild<QComboBox*>(QStringLiteral("portCB"));
    if (portCB) {
        portCB->addItems(systemPorts);
        // The emulated unit is always at hand, so a new user can acquire at once.
        portCB->addItem(demoPortName());
    }
    static const int rates[4] = {19200, 38400, 57600, 115200};
    QRadioButton* rateButtons[4];
    bool allButtons = true;
    for (int i = 0; i < 4; ++i) {
        rateButtons[i] = dlg->findChild<QRadioButton*>(QStringLiteral("rb%1").arg(rates[i]));
        allButtons = allButtons && rateButtons[i];
    }
    if (allButtons && portCB) {
        for (int i = 0; i < 4; ++i)
            if (rates[i] == g_link.rate)
                rateButtons[i]->setChecked(true);
        portCB->setCurrentIndex(portCB->findText(g_link.portName, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }

    if (dlg->exec() != QDialog::Accepted)
        return;

    int rate = 115200;
    int chosen = 0;
    for (int i = 0; i < 4; ++i) {
        if (rateButtons[i] && rateButtons[i]->isChecked()) {
            if (i < 3)
                rate = rates[i];
            chosen = rates[i];
            break;
        }
    }
    const QString name = portCB ? portCB->currentText() : QString();
    reopenLink(name, rate); // a port that does not open shows at the next command
    g_link.portName = name;
    if (chosen)
        g_link.rate = chosen;
}
