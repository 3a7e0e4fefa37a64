#pragma once

// The dialog of the command "Серия записей…": folder (typed or chosen), prefix of the file names,
// number of records (0: until stopped), pause between records, hit search on each record.

#include "series/series_run.h"

#include <QDialog>

namespace Ui {
class SeriesDialog;
}

class TSeriesDlg : public QDialog
{
    Q_OBJECT
public:
    explicit TSeriesDlg(QWidget* parent = nullptr);
    ~TSeriesDlg() override;

    void setSettings(const series::Settings& s);
    series::Settings settings() const;
    Ui::SeriesDialog* form() const { return ui; }

    // OK only with a folder that exists and a usable prefix; otherwise the warning says what is
    // wrong and the dialog stays open on the field.
    void accept() override;

private:
    void browse();
    void showExample();

    Ui::SeriesDialog* ui;
};

// The body of the command: the dialog on s; true (and s changed) when accepted.
bool runSeriesDialog(QWidget* parent, series::Settings& s);
