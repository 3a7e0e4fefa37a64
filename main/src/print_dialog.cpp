#include "print_dialog.h"

#include "errors.h"
#include "ui_PrintDialog.h"
#include "umisc.h"
#include "ustrings.h"
#include "versioninfo.h"
#include "wave_form.h"
#include "wave_view.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QResizeEvent>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

QSvgGenerator* g_svgGenerator = nullptr;

// ---------------------------------------------------------------------------------------------
// Arithmetic

namespace prn {

QSize pageShape(const QSize& pagePixels)
{
    const double pw = pagePixels.width();
    const double ph = pagePixels.height();
    if (pw <= 0 || ph <= 0)
        return QSize();
    if (pw <= ph)
        return QSize(nearest(1000.0 * pw / ph), 1000);
    return QSize(1000, nearest(1000.0 * ph / pw));
}

QRect previewRect(const QSize& shape, const QSize& area)
{
    const double ww = area.width() - 1;
    const double wh = area.height() - 1;
    if (shape.isEmpty() || ww <= 0 || wh <= 0)
        return QRect();
    const double s = std::max(shape.width() / ww, shape.height() / wh);
    const double w = shape.width() / s;
    const double h = shape.height() / s;
    // The side that fits exactly comes out whole in exact arithmetic; a quotient a hair below
    // it must not lose the pixel.
    auto down = [](double v) { return int(std::floor(v + 1e-9)); };
    return QRect(down((ww - w) * 0.5), down((wh - h) * 0.5), down(w), down(h));
}

QString withSuffix(const QString& name, const QString& suffix)
{
    return name.endsWith(suffix, Qt::CaseSensitive) ? name : name + suffix;
}

QRect printTarget(const QPrinter& printer)
{
    // The painter's origin is the corner of the printable page: drawn at the paper's size from
    // there, the right and bottom of the plot would fall into the margins and be lost.
    const QSize page = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    return QRect(QPoint(0, 0), page).translated(-10, -10);
}

QString failureCause(const QString& outputFile, const QString& printerName, bool printersInstalled)
{
    const StringsKit& kit = StringsKit::instance();
    if (!outputFile.isEmpty())
        return kit.printFileNotWritable.arg(QDir::toNativeSeparators(outputFile));
    if (!printersInstalled)
        return kit.printNoPrinter;
    return kit.printerNotStarted.arg(printerName);
}

} // namespace prn

// ---------------------------------------------------------------------------------------------
// Preview

TMyImg::TMyImg(QWidget* parent)
    : QWidget(parent)
{}

TMyImg::~TMyImg()
{
    delete painter;
}

bool TMyImg::init()
{
    painter = new (std::nothrow) QPainter();
    if (!painter) {
        REPORT_CRITICAL(0xA602);
        return false;
    }
    return true;
}

void TMyImg::paintEvent(QPaintEvent*)
{
    paintPage();
}

void TMyImg::paintPage()
{
    if (!painter || !form)
        return;
    QPaintDevice* device = g_svgGenerator ? static_cast<QPaintDevice*>(g_svgGenerator) : this;
    if (!painter->begin(device))
        return;
    painter->setBrush(QBrush(Qt::white, Qt::SolidPattern));
    painter->setPen(QPen(Qt::black));
    const QRect page(QPoint(0, 0), QPoint(width() - 2, height() - 2));
    painter->drawRect(page);
    g_printMode = true;
    form->print(painter, page);
    g_printMode = false;
    painter->end();
}

// ---------------------------------------------------------------------------------------------
// Dialog

TPrnDlg::TPrnDlg(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    g_printMode = false;
}

TPrnDlg::~TPrnDlg()
{
    delete printer;
    delete img;
    delete ui;
}

bool TPrnDlg::init()
{
    quint16 condition = 0;
    do {
        ui = new Ui::PrintDialog;
        ui->setupUi(this);
        if (!ui->frame) {
            condition = 0xA702;
            break;
        }
        img = new TMyImg(ui->imageWidget);
        if (!img->init()) {
            condition = 0xA502;
            break;
        }
        printer = new (std::nothrow) QPrinter(QPrinter::HighResolution);
        if (!printer) {
            condition = 0xA702;
            break;
        }
        printer->setCreator(
            QStringLiteral("tavrel %1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionBuild));
        if (!ui->okBtn) {
            condition = 0xAD02;
            break;
        }
        if (!connect(ui->okBtn, &QPushButton::released, this, &TPrnDlg::slot_OkBtnReleased)) {
            condition = 0xAE02;
            break;
        }
        if (!ui->cancelBtn) {
            condition = 0xAF02;
            break;
        }
        if (!connect(ui->cancelBtn, &QPushButton::released, this, &TPrnDlg::slot_CancelBtnReleased)) {
            condition = 0xAC02;
            break;
        }
        if (!ui->setupBtn) {
            condition = 0xAD02;
            break;
        }
        if (!connect(ui->setupBtn, &QPushButton::released, this, &TPrnDlg::slot_SetupBtnReleased)) {
            condition = 0xAE02;
            break;
        }
        if (!ui->exportBtn) {
            condition = 0xB402;
            break;
        }
        if (!connect(ui->exportBtn, &QPushButton::released, this, &TPrnDlg::slot_ExportBtnReleased)) {
            condition = 0xB502;
            break;
        }
        layoutPreview();
        return true;
    } while (false);
    REPORT_CRITICAL(condition);
    return false;
}

void TPrnDlg::setForm(TWForm* window)
{
    form = window;
    if (img) {
        img->setForm(window);
        img->update();
    }
}

void TPrnDlg::layoutPreview()
{
    if (!printer || !ui || !ui->imageWidget || !img)
        return;
    // The paper's own proportions: a sheet of A4 shows as 707 x 1000.
    const QSize paper = printer->pageLayout().fullRectPixels(printer->resolution()).size();
    previewArea = prn::previewRect(prn::pageShape(paper), ui->imageWidget->size());
    img->setGeometry(previewArea);
}

void TPrnDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    layoutPreview();
}

void TPrnDlg::slot_OkBtnReleased()
{
    if (form && ui && ui->toFileBox && printer) {
        bool print = true;
        if (ui->toFileBox->isChecked()) {
            const QString name = QFileDialog::getSaveFileName(
                this, QString(), QString(), QStringLiteral("Printer file (*.pdf);;All file (*.*)"));
            print = !name.isEmpty();
            if (print)
                printer->setOutputFileName(prn::withSuffix(name, QStringLiteral(".pdf")));
        }
        if (print) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            QPainter painter;
            const bool started = painter.begin(printer);
            if (started) {
                g_printMode = true;
                form->print(&painter, prn::printTarget(*printer));
                g_printMode = false;
                painter.end();
            }
            QApplication::restoreOverrideCursor();
            if (!started) {
                // Said, and the dialog stays for another printer or file.
                umisc::showWarning(StringsKit::WarnPrintFailed,
                                   prn::failureCause(printer->outputFileName(), printer->printerName(),
                                                     !QPrinterInfo::availablePrinterNames().isEmpty()));
                return;
            }
        }
    }
    accept();
}

void TPrnDlg::slot_CancelBtnReleased()
{
    reject();
}

void TPrnDlg::slot_SetupBtnReleased()
{
    if (!printer)
        return;
    std::unique_ptr<QPrintDialog> dialog(new QPrintDialog(printer, this));
    dialog->exec();
    dialog.reset();
    layoutPreview();
}

void TPrnDlg::slot_ExportBtnReleased()
{
    if (!img)
        return;
    svgFileName = QFileDialog::getSaveFileName(this, QString(), QString(), tr("Файлы svg (*.svg)"));
    if (svgFileName.isEmpty())
        return;
    svgFileName = prn::withSuffix(svgFileName, QStringLiteral(".svg"));
    // The drawing has the preview's size: what is seen is what is written.
    auto* generator = new QSvgGenerator;
    generator->setFileName(svgFileName);
    generator->setSize(img->size());
    generator->setViewBox(QRect(QPoint(0, 0), img->size()));
    generator->setResolution(img->logicalDpiX());
    if (form)
        generator->setTitle(form->windowTitle());
    g_svgGenerator = generator;
    img->paintPage();
    g_svgGenerator = nullptr;
    delete generator; // finishes the file
    img->update();
}

// ---------------------------------------------------------------------------------------------
// The print command

void runPrintDialog(QWidget* parent, TWForm* window)
{
    std::unique_ptr<TPrnDlg> dialog(
        new TPrnDlg(parent, Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint));
    if (!dialog->init())
        return;
    if (window)
        dialog->setForm(window);
    dialog->exec();
}
