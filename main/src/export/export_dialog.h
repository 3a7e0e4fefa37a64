#pragma once

// The main window's side of the export commands: the options dialog and the export of a
// waveform window with a progress bar.

#include "record_export.h"

class QWidget;
class TWForm;

namespace dataexport {

struct Choice
{
    ValueMode mode = ValueMode::Volts;
    bool selectionOnly = false;
};

// The options dialog (form ExportDialog): the value mode for a CSV file, whole record or
// selection when there is one. False when cancelled; choice is then left as it was.
bool askOptions(QWidget* parent, Format format, bool hasSelection, Choice& choice);

// Exports the window's record (or its selection, cut to the record's samples) to path, with a
// progress bar that shows when the export takes long and whose Cancel stops it. The exporter's
// result; 100 without a record.
int exportWindow(QWidget* parent, TWForm& window, Format format, const Choice& choice, const QString& path);

} // namespace dataexport
