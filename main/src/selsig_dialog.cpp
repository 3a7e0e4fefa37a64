#include "selsig_dialog.h"

#include "errors.h"
#include "ui_SelSigDialog.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

QCheckBox* box(const QDialog* dlg, int i)
{
    return dlg->findChild<QCheckBox*>(QStringLiteral("selBox%1").arg(i + 1));
}

} // namespace

TSelSigDlg::TSelSigDlg(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{}

TSelSigDlg::~TSelSigDlg()
{
    delete form;
}

bool TSelSigDlg::init()
{
    if (form)
        return true;
    form = new Ui::SelSigDialog;
    form->setupUi(this);
    if (auto* ok = findChild<QPushButton*>(QStringLiteral("okBtn")))
        connect(ok, &QPushButton::released, this, &QDialog::accept);
    if (auto* cancel = findChild<QPushButton*>(QStringLiteral("cancelBtn")))
        connect(cancel, &QPushButton::released, this, &QDialog::reject);
    quint16 condition = 0;
    auto* allOn = findChild<QPushButton*>(QStringLiteral("allOn"));
    if (!allOn)
        condition = 0xA702;
    else if (!connect(allOn, &QPushButton::released, this, &TSelSigDlg::slot_AllOnReleased))
        condition = 0xAC02;
    if (condition == 0)
        return true;
    REPORT_CRITICAL(condition);
    return false;
}

void TSelSigDlg::setChannelCount(int n)
{
    for (int i = 0; i < 4; ++i) {
        if (QCheckBox* b = box(this, i))
            b->setVisible(i < n);
    }
}

bool TSelSigDlg::isSelected(int i) const
{
    if (!form || i < 0 || i > 3)
        return false;
    const QCheckBox* b = box(this, i);
    return b && b->checkState() == Qt::Checked;
}

void TSelSigDlg::slot_AllOnReleased()
{
    for (int i = 0; i < 4; ++i) {
        if (QCheckBox* b = box(this, i))
            b->setCheckState(Qt::Checked);
    }
}
