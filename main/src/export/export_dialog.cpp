#include "export_dialog.h"

#include "ui_ExportDialog.h"
#include "wave_form.h"
#include "wave_stor.h"

#include <QDialog>
#include <QProgressDialog>

#include <memory>

namespace dataexport {

bool askOptions(QWidget* parent, Format format, bool hasSelection, Choice& choice)
{
    QDialog dialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint);
    Ui::ExportDialog form;
    form.setupUi(&dialog);
    dialog.setWindowTitle(format == Format::Csv ? QObject::tr("Экспорт в CSV")
                                                : QObject::tr("Экспорт в WAV"));
    // A WAV file holds the converter's codes as they are.
    form.gbValues->setVisible(format == Format::Csv);
    form.rbRaw->setChecked(choice.mode == ValueMode::Raw);
    form.rbVolts->setChecked(choice.mode == ValueMode::Volts);
    form.rbProcessed->setChecked(choice.mode == ValueMode::Processed);
    form.rbSelection->setEnabled(hasSelection);
    (hasSelection ? form.rbSelection : form.rbWhole)->setChecked(true);
    QObject::connect(form.okBtn, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(form.cancelBtn, &QPushButton::clicked, &dialog, &QDialog::reject);
    dialog.adjustSize();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice.mode = form.rbRaw->isChecked()         ? ValueMode::Raw
                  : form.rbProcessed->isChecked() ? ValueMode::Processed
                                                  : ValueMode::Volts;
    choice.selectionOnly = hasSelection && form.rbSelection->isChecked();
    return true;
}

int exportWindow(QWidget* parent, TWForm& window, Format format, const Choice& choice, const QString& path)
{
    TWaveStor* record = window.record;
    if (!record)
        return 100;
    Request request;
    request.mode = choice.mode;
    if (choice.selectionOnly && window.selStart != window.selEnd) {
        const wform::View span = wform::measuredSpan(window.selStart, window.selEnd, record->length());
        request.start = span.start;
        request.count = span.width;
    }
    // Shown only when the export runs long; each piece moves it on and lets Cancel through.
    constexpr int Steps = 1000;
    QProgressDialog progress(QObject::tr("Экспорт: %1").arg(path), QObject::tr("Отмена"), 0, Steps, parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    request.progress = [&progress](qint64 done, qint64 total) {
        progress.setValue(int(done * Steps / std::max<qint64>(total, 1)));
        return !progress.wasCanceled();
    };
    return exportRecord(format, path, *record, request);
}

} // namespace dataexport
