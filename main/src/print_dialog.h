#pragma once

// The print dialog: a page-shaped preview of a waveform window, printing, printing to a PDF file,
// the printer's set-up and export of the preview as an SVG drawing.

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

class QPainter;
class QPrinter;
class QResizeEvent;
class QSvgGenerator;
class TWForm;

namespace Ui {
class PrintDialog;
}

// Plain arithmetic of the dialog, usable without a display.
namespace prn {

// A page of the given size in pixels scaled so that its longer side is 1000; empty when the
// page has no area.
QSize pageShape(const QSize& pagePixels);
// The preview of a page of that shape in an area of the given size: centred, as large as fits.
QRect previewRect(const QSize& shape, const QSize& area);
// name with suffix appended unless it already ends in exactly suffix (".PDF" is not ".pdf").
QString withSuffix(const QString& name, const QString& suffix);
// Where a printout is drawn: the printer's printable page in the painter's coordinates, moved
// 10 device pixels left and up.
QRect printTarget(const QPrinter& printer);
// Why a printout could not be started, for warning 0x1512: the file it was to be written to
// (when there is one), else the printer, or that no printer is installed.
QString failureCause(const QString& outputFile, const QString& printerName, bool printersInstalled);

} // namespace prn

// Set only while an SVG export runs: the preview then paints into it instead of onto the screen.
extern QSvgGenerator* g_svgGenerator;

// The preview: a white page with a black border and the record drawn as on paper.
class TMyImg : public QWidget
{
public:
    explicit TMyImg(QWidget* parent);
    ~TMyImg() override;
    // Makes the painter kept for every paint; false (0xA602 reported) when it cannot be made.
    bool init();
    void setForm(TWForm* window) { form = window; }
    // Paints the page onto the SVG generator when one is set, else onto the widget.
    void paintPage();

    QPointer<TWForm> form; // the window to print, not owned

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPainter* painter = nullptr;
};

class TPrnDlg : public QDialog
{
    Q_OBJECT
public:
    explicit TPrnDlg(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~TPrnDlg() override;

    // Builds the form, the preview and the printer and connects the buttons; false after a
    // critical error has been reported.
    bool init();
    // The window to print, shown in the preview as well.
    void setForm(TWForm* window);
    // Places the preview: the page's shape, centred in the image area, as large as fits.
    void layoutPreview();

    Ui::PrintDialog* ui = nullptr; // owned
    QPointer<TWForm> form;         // not owned
    QRect previewArea;             // last computed place of the preview
    QString svgFileName;
    TMyImg* img = nullptr;       // owned
    QPrinter* printer = nullptr; // owned

public slots:
    void slot_OkBtnReleased();
    void slot_CancelBtnReleased();
    void slot_SetupBtnReleased();
    void slot_ExportBtnReleased();

protected:
    void resizeEvent(QResizeEvent* event) override;
};

// The print command: the dialog for window (none: an empty preview), run modally and deleted.
void runPrintDialog(QWidget* parent, TWForm* window);
