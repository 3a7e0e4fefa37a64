#include "series/series_dialog.h"

#include "series/series_log.h"
#include "umisc.h"
#include "ustrings.h"

#include "ui_SeriesDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

TSeriesDlg::TSeriesDlg(QWidget* parent)
    : QDialog(parent, Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint)
    , ui(new Ui::SeriesDialog)
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Пуск"));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &TSeriesDlg::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui->browseBtn, &QPushButton::clicked, this, &TSeriesDlg::browse);
    connect(ui->prefixEdit, &QLineEdit::textChanged, this, &TSeriesDlg::showExample);
    setSettings(series::Settings());
}

TSeriesDlg::~TSeriesDlg()
{
    delete ui;
}

void TSeriesDlg::setSettings(const series::Settings& s)
{
    ui->folderEdit->setText(QDir::toNativeSeparators(s.folder));
    ui->prefixEdit->setText(s.prefix);
    ui->countEdit->setValue(s.count);
    ui->pauseEdit->setValue(s.pauseS);
    ui->findHitsCheck->setChecked(s.findHits);
    showExample();
}

series::Settings TSeriesDlg::settings() const
{
    series::Settings s;
    s.folder = QDir::fromNativeSeparators(ui->folderEdit->text().trimmed());
    s.prefix = ui->prefixEdit->text();
    s.count = ui->countEdit->value();
    s.pauseS = ui->pauseEdit->value();
    s.findHits = ui->findHitsCheck->isChecked();
    return s;
}

void TSeriesDlg::accept()
{
    const series::Settings s = settings();
    if (s.folder.isEmpty() || !QFileInfo(s.folder).isDir()) {
        if (s.folder.isEmpty())
            umisc::showWarning(StringsKit::WarnSeriesNoFolder);
        else
            umisc::showWarning(StringsKit::WarnSeriesFolderMissing, QDir::toNativeSeparators(s.folder));
        ui->folderEdit->setFocus();
        return;
    }
    if (!series::validPrefix(s.prefix)) {
        umisc::showWarning(StringsKit::WarnSeriesBadPrefix, s.prefix);
        ui->prefixEdit->setFocus();
        return;
    }
    QDialog::accept();
}

void TSeriesDlg::browse()
{
    const QString typed = settings().folder;
    const QString start = QFileInfo(typed).isDir() ? typed : umisc::fileDialogFolder();
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Папка серии"), start);
    if (!folder.isEmpty())
        ui->folderEdit->setText(QDir::toNativeSeparators(folder));
}

void TSeriesDlg::showExample()
{
    const QString prefix = ui->prefixEdit->text();
    ui->prefixExample->setText(series::validPrefix(prefix)
                                   ? QStringLiteral("→ ") + series::recordName(prefix, 1)
                                   : tr("→ недопустимое имя"));
}

bool runSeriesDialog(QWidget* parent, series::Settings& s)
{
    TSeriesDlg dlg(parent);
    dlg.setSettings(s);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    s = dlg.settings();
    return true;
}
