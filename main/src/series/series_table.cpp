#include "series/series_table.h"

#include "ae/analysis_window.h"
#include "ae/series_hits.h"
#include "settings.h"
#include "umisc.h"
#include "wave_form.h"

#include "ui_SeriesTable.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QProgressDialog>
#include <QTableView>

#include <utility>

namespace series {

QString RecordTableModel::startText(const QDateTime& utc)
{
    return utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : QString();
}

void RecordTableModel::setRows(QVector<LogRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int RecordTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RecordTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const LogRow& r = m_rows[index.row()];
    if (role == Qt::TextAlignmentRole && index.column() == HitsColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == StartColumn)
        return utcText(r.startUtc); // the log's own text
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case FileColumn: return r.file;
    case StartColumn: return startText(r.startUtc);
    case HitsColumn: return r.hits < 0 ? QString() : QString::number(r.hits);
    default:
        // A log's row always has a status: an empty one is a file the log does not name.
        return r.status.isEmpty() ? QCoreApplication::translate("TSeriesTable", "(время файла)") : r.status;
    }
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    static const char* const titles[ColumnCount] = {
        QT_TRANSLATE_NOOP("TSeriesTable", "Файл"),
        QT_TRANSLATE_NOOP("TSeriesTable", "Начало"),
        QT_TRANSLATE_NOOP("TSeriesTable", "Импульсы АЭ"),
        QT_TRANSLATE_NOOP("TSeriesTable", "Состояние"),
    };
    if (section < 0 || section >= ColumnCount)
        return {};
    return QCoreApplication::translate("TSeriesTable", titles[section]);
}

} // namespace series

namespace {

bool sameFolder(const QString& a, const QString& b)
{
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}

} // namespace

TSeriesTable* TSeriesTable::showFor(QWidget* parent, const QString& folder, const Opener& open)
{
    TSeriesTable* table = umisc::findToolWindow<TSeriesTable>(
        parent, [&](TSeriesTable* t) { return sameFolder(t->folder(), folder); });
    if (!table)
        table = new TSeriesTable(parent, folder, open);
    else
        table->reload();
    table->show();
    table->raise();
    table->activateWindow();
    return table;
}

void TSeriesTable::refreshFolder(const QWidget* parent, const QString& folder)
{
    if (!parent)
        return;
    for (TSeriesTable* t : parent->findChildren<TSeriesTable*>(Qt::FindDirectChildrenOnly))
        if (sameFolder(t->folder(), folder))
            t->reload();
}

TSeriesTable::TSeriesTable(QWidget* parent, const QString& folder, Opener open)
    : QWidget(parent, Qt::Tool)
    , ui(new Ui::SeriesTable)
    , m_model(new series::RecordTableModel(this))
    , m_folder(QDir(folder).absolutePath())
    , m_open(std::move(open))
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    umisc::placeToolWindow(this, QStringLiteral("seriesTable"));
    setWindowTitle(tr("Записи серии — %1").arg(QDir::toNativeSeparators(m_folder)));
    ui->recordView->setModel(m_model);
    ui->recordView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->recordView->horizontalHeader()->setStretchLastSection(true);
    ui->recordView->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->recordView->installEventFilter(this);
    connect(ui->refreshBtn, &QPushButton::clicked, this, &TSeriesTable::reload);
    connect(ui->plotsBtn, &QPushButton::clicked, this, &TSeriesTable::showAnalysis);
    connect(ui->closeBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->recordView, &QTableView::doubleClicked, this,
            [this](const QModelIndex& i) { openRow(i.row()); });
    reload();
}

TSeriesTable::~TSeriesTable()
{
    delete ui;
}

TAnalysisWindow* TSeriesTable::showAnalysis()
{
    TAnalysisWindow* w = TAnalysisWindow::windowOf(parentWidget(), this);
    if (m_collecting)
        return w; // a reload while the records are read: they are read once
    if (!w || !m_collector)
        m_collector = std::make_unique<ae::SeriesHitCollector>(m_folder, g_hitSettings);
    const QVector<series::LogRow> rows = m_collector->pending(m_listing);
    ae::AnalysisSource found;
    int read = 0;
    if (!rows.isEmpty()) {
        // Reading many records takes a while: a progress dialog whose Stop shows what was read.
        QProgressDialog progress(tr("Чтение записей серии…"), tr("Стоп"), 0, int(rows.size()), this);
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setMinimumDuration(500);
        m_collecting = true;
        for (; read < rows.size() && !progress.wasCanceled(); ++read) {
            progress.setValue(read);
            m_collector->collect(rows[read], found.hits, found.records);
        }
        m_collecting = false;
    }
    QString note = m_collector->note(m_listing);
    if (read < rows.size())
        note += tr(" Чтение остановлено: не прочитано записей %1 (они будут прочитаны при обновлении).")
                    .arg(rows.size() - read);
    if (w) {
        if (!found.records.isEmpty())
            w->appendHits(std::move(found.hits), found.records);
        w->setNote(note.trimmed());
        return w;
    }
    found.title = QDir::toNativeSeparators(m_folder);
    found.absoluteTime = true;
    found.note = note.trimmed();
    w = TAnalysisWindow::showFor(parentWidget(), this, std::move(found));
    connect(w, &TAnalysisWindow::hitActivated, this, &TSeriesTable::showHit);
    connect(w, &QObject::destroyed, this, [this] { m_collector.reset(); });
    return w;
}

void TSeriesTable::showHit(const ae::AnalysisHit& hit)
{
    const TAnalysisWindow* w = TAnalysisWindow::windowOf(parentWidget(), this);
    if (!w || hit.record < 0 || hit.record >= w->source().records.size() || !parentWidget())
        return;
    const QString path = QDir::toNativeSeparators(w->source().records[hit.record]);
    auto openWindow = [&]() -> TWForm* {
        for (TWForm* f : parentWidget()->findChildren<TWForm*>())
            if (f->windowTitle() == path && f->record)
                return f;
        return nullptr;
    };
    TWForm* f = openWindow();
    if (!f && m_open) {
        m_open(QDir::fromNativeSeparators(path));
        f = openWindow();
    }
    if (!f)
        return;
    if (QMdiArea* area = f->mdiArea())
        area->setActiveSubWindow(f);
    f->showSample(hit.channel - 1, int(hit.first));
}

QTableView* TSeriesTable::view() const
{
    return ui->recordView;
}

void TSeriesTable::reload()
{
    const int current = ui->recordView->currentIndex().row();
    m_listing = series::listRecords(m_folder);
    m_model->setRows(m_listing.rows);
    if (current >= 0 && current < m_model->rowCount())
        ui->recordView->selectRow(current);

    int saved = 0, failed = 0;
    qint64 hits = 0;
    bool searched = false;
    for (const series::LogRow& r : m_listing.rows) {
        saved += r.ok() ? 1 : 0;
        failed += r.status.startsWith(QLatin1String("failed")) ? 1 : 0;
        if (r.hits >= 0) {
            searched = true;
            hits += r.hits;
        }
    }
    QString text;
    if (m_listing.hasLog)
        text = tr("Журнал %1: записей сохранено %2, не сохранено %3.")
                   .arg(series::logFileName())
                   .arg(saved)
                   .arg(failed);
    else
        text = tr("Журнала %1 нет: начало записи — время изменения файла.").arg(series::logFileName());
    if (searched)
        text += tr(" Импульсов АЭ: %1.").arg(hits);
    if (m_listing.unreadable > 0)
        text += tr(" Нечитаемых строк журнала: %1.").arg(m_listing.unreadable);
    if (m_listing.rows.isEmpty())
        text += tr(" Записей в папке нет.");
    ui->summaryLabel->setText(text);
    // The plots of a running series follow it.
    if (m_collector && TAnalysisWindow::windowOf(parentWidget(), this))
        showAnalysis();
}

void TSeriesTable::openRow(int r)
{
    if (r < 0 || r >= m_model->rowCount() || !m_open)
        return;
    const QString file = m_model->row(r).file;
    const QString path = QDir(m_folder).filePath(file);
    if (!file.isEmpty() && QFileInfo(path).isFile())
        m_open(path);
}

bool TSeriesTable::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->recordView && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openRow(ui->recordView->currentIndex().row());
            return true;
        }
        if (key == Qt::Key_F5) {
            reload();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
