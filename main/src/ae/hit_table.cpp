#include "ae/hit_table.h"

#include "ae/hit_csv.h"
#include "ae/series_hits.h"
#include "init.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_form.h"
#include "wave_stor.h"

#include "ui_HitTable.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QIODevice>
#include <QKeyEvent>
#include <QMdiArea>
#include <QProgressDialog>
#include <QTableView>

#include <algorithm>
#include <limits>
#include <memory>
#include <numeric>
#include <utility>

namespace ae {

void HitTableModel::setHits(std::vector<Hit> hits, double periodUs, std::optional<qint64> startUtcUs)
{
    beginResetModel();
    m_hits = std::move(hits);
    m_period = periodUs;
    m_start = startUtcUs;
    order();
    endResetModel();
}

double HitTableModel::sortKey(const Hit& h, int column, double periodUs)
{
    // Frequencies and RA are shown only with a period; without one they keep the order found.
    constexpr double absent = -std::numeric_limits<double>::infinity();
    const bool timed = periodKnown(periodUs);
    switch (column) {
    case ChannelColumn: return h.channel;
    case ArrivalColumn:
    case TimeUtcColumn: return double(h.first);
    case PeakVColumn:
    case PeakDbColumn: return h.peakV;
    case RiseColumn: return double(h.peak - h.first);
    case DurationColumn: return double(h.last - h.first);
    case CountsColumn: return h.counts;
    case CountsToPeakColumn: return h.countsToPeak;
    case EnergyColumn: return h.sumSquares;
    // Counts per sample, samples per volt, cycles per sample: the order of what is shown.
    case AvgFreqColumn:
        return timed && h.last > h.first ? double(h.counts) / double(h.last - h.first) : absent;
    case RaColumn: return timed && h.peakV > 0.0 ? double(h.peak - h.first) / h.peakV : absent;
    case PeakFreqColumn: return timed && h.peakCycles >= 0.0 ? h.peakCycles : absent;
    case CentroidColumn: return timed && h.centroidCycles >= 0.0 ? h.centroidCycles : absent;
    default: return 0.0;
    }
}

void HitTableModel::order()
{
    m_order.resize(m_hits.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    if (m_sortColumn < 0 || m_sortColumn >= ColumnCount)
        return;
    std::vector<double> keys(m_hits.size());
    for (std::size_t i = 0; i < m_hits.size(); ++i)
        keys[i] = sortKey(m_hits[i], m_sortColumn, m_period);
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(m_order.begin(), m_order.end(), [&keys](int a, int b) { return keys[a] < keys[b]; });
    else
        std::stable_sort(m_order.begin(), m_order.end(), [&keys](int a, int b) { return keys[a] > keys[b]; });
}

void HitTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // What the view holds (selection, current row) stays on its hit.
    const QModelIndexList held = persistentIndexList();
    std::vector<int> heldHits;
    heldHits.reserve(std::size_t(held.size()));
    for (const QModelIndex& i : held)
        heldHits.push_back(m_order[std::size_t(i.row())]);
    m_sortColumn = column;
    m_sortOrder = order;
    this->order();
    if (!held.isEmpty()) {
        std::vector<int> rowOf(m_order.size());
        for (std::size_t r = 0; r < m_order.size(); ++r)
            rowOf[std::size_t(m_order[r])] = int(r);
        QModelIndexList moved;
        moved.reserve(held.size());
        for (int k = 0; k < held.size(); ++k)
            moved << index(rowOf[std::size_t(heldHits[std::size_t(k)])], held[k].column());
        changePersistentIndexList(held, moved);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int HitTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

int HitTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HitTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const Hit& h = hit(index.row());
    const int c = index.column();
    // Without a period the times are shown in samples; the CSV leaves them empty.
    if (!periodKnown(m_period) && (c == ArrivalColumn || c == RiseColumn || c == DurationColumn))
        return QCoreApplication::translate("THitTable", "%1 отсч.").arg(qint64(sortKey(h, c, m_period)));
    return hitField(hitRow(h, m_period, m_start), c);
}

QVariant HitTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    static const char* const titles[ColumnCount] = {
        QT_TRANSLATE_NOOP("THitTable", "Канал"),
        QT_TRANSLATE_NOOP("THitTable", "Приход, мкс"),
        QT_TRANSLATE_NOOP("THitTable", "Амплитуда, В"),
        QT_TRANSLATE_NOOP("THitTable", "Амплитуда, дБ"),
        QT_TRANSLATE_NOOP("THitTable", "Нарастание, мкс"),
        QT_TRANSLATE_NOOP("THitTable", "Длительность, мкс"),
        QT_TRANSLATE_NOOP("THitTable", "Выбросы"),
        QT_TRANSLATE_NOOP("THitTable", "Выбросы до пика"),
        QT_TRANSLATE_NOOP("THitTable", "Энергия, В²·с"),
        QT_TRANSLATE_NOOP("THitTable", "Ср. частота, кГц"),
        QT_TRANSLATE_NOOP("THitTable", "RA, мс/В"),
        QT_TRANSLATE_NOOP("THitTable", "Пиковая частота, кГц"),
        QT_TRANSLATE_NOOP("THitTable", "Центроид, кГц"),
        QT_TRANSLATE_NOOP("THitTable", "Время UTC"),
    };
    if (section < 0 || section >= ColumnCount)
        return {};
    return QCoreApplication::translate("THitTable", titles[section]);
}

} // namespace ae

// ---------------------------------------------------------------------------------------------

THitTable* THitTable::tableOf(const QWidget* parent, const TWForm* form)
{
    return form ? umisc::findToolWindow<THitTable>(parent, [form](THitTable* t) { return t->form() == form; })
                : nullptr;
}

THitTable* THitTable::showFor(QWidget* parent, TWForm* form, const ae::HitSettings& s)
{
    if (!form || !form->record)
        return nullptr;
    THitTable* t = tableOf(parent, form);
    if (!t)
        t = new THitTable(parent, form);
    t->detect(s);
    t->show();
    t->raise();
    return t;
}

THitTable::THitTable(QWidget* parent, TWForm* form)
    : QWidget(parent, Qt::Tool)
    , ui(new Ui::HitTable)
    , m_model(new ae::HitTableModel(this))
    , m_form(form)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    umisc::placeToolWindow(this, QStringLiteral("hitTable"));
    ui->hitView->setModel(m_model);
    ui->hitView->sortByColumn(ae::HitTableModel::ArrivalColumn, Qt::AscendingOrder);
    // Rows of one height and columns sized once per search from a sample of the rows: no size
    // is worked out for every row of a table of any length.
    QHeaderView* rows = ui->hitView->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(fontMetrics().height() + 2);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* columns = ui->hitView->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setResizeContentsPrecision(SizedRows);

    // The view's own Ctrl+C copies one cell: the table takes the key first.
    ui->hitView->installEventFilter(this);
    connect(ui->copyBtn, &QPushButton::clicked, this, &THitTable::copySelection);
    connect(ui->exportBtn, &QPushButton::clicked, this, &THitTable::chooseExportFile);
    connect(ui->plotsBtn, &QPushButton::clicked, this, &THitTable::showAnalysis);
    connect(ui->closeBtn, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->hitView, &QTableView::doubleClicked, this,
            [this](const QModelIndex& i) { goToRow(i.row()); });
    // The window may go first: the table goes with it. The guard still holds the window while it
    // announces its end, when nothing of it may be touched any more: let go of it first.
    if (form)
        connect(form, &QObject::destroyed, this, [this] {
            m_form = nullptr;
            close();
        });
}

THitTable::~THitTable()
{
    if (m_form)
        m_form->setSpanMarks({});
    delete ui;
}

bool THitTable::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->hitView &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        if (event->type() == QEvent::KeyPress)
            copySelection();
        event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void THitTable::closeEvent(QCloseEvent* event)
{
    if (m_form)
        m_form->setSpanMarks({});
    QWidget::closeEvent(event);
}

QTableView* THitTable::view() const
{
    return ui->hitView;
}

int THitTable::progressDelayMs = 500;

bool THitTable::search(ae::RecordHitSearch& search)
{
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> progress;
    constexpr int Steps = 1000;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool stopped = false;
    while (search.step(SearchStepSamples)) {
        if (!progress && clock.elapsed() >= progressDelayMs) {
            progress = std::make_unique<QProgressDialog>(tr("Поиск импульсов АЭ…"), tr("Стоп"), 0, Steps,
                                                         parentWidget());
            progress->setWindowTitle(tr("Импульсы АЭ — %1").arg(m_form->windowTitle()));
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setMinimumDuration(0);
            progress->setAutoReset(false);
            progress->setAutoClose(false);
            // Esc rejects the dialog, which alone would only hide it: it stops the search too.
            connect(progress.get(), &QDialog::rejected, progress.get(), &QProgressDialog::cancel);
            QApplication::restoreOverrideCursor(); // the Stop button is to be pressed
            progress->show();
        }
        if (progress) {
            progress->setValue(int(Steps * search.searched() / std::max<qint64>(search.total(), 1)));
            emit searchStep(search.searched(), search.total());
            QCoreApplication::processEvents();
            if (progress->wasCanceled()) {
                stopped = true;
                break;
            }
        }
    }
    if (!progress)
        QApplication::restoreOverrideCursor();
    return !stopped;
}

void THitTable::detect(const ae::HitSettings& s)
{
    // A transform holds the window's samples between its steps: they are not searched then.
    if (!m_form || !m_form->record || m_form->transforming)
        return;
    const double period = m_form->record->samplePeriodUs();
    std::vector<ae::Hit> found;
    {
        // Events are served during a long search: the window keeps its samples until it ends.
        m_form->transforming = true;
        ae::RecordHitSearch running(*m_form->record, s);
        m_stopped = !search(running);
        found = std::move(running.hits());
        m_form->transforming = false;
    }
    QVector<wform::SpanMark> marks;
    marks.reserve(int(found.size()));
    for (const ae::Hit& h : found)
        marks.push_back({h.channel, int(h.first), int(h.last)});
    // A record listed in a series log beside it has absolute times.
    m_model->setHits(std::move(found), period, ae::recordStartUtcUs(m_form->windowTitle()));
    ui->hitView->resizeColumnsToContents();
    m_file = m_form->windowTitle();
    setWindowTitle(tr("Импульсы АЭ — %1").arg(m_file));
    m_form->setSpanMarks(marks);

    QString text =
        tr("Найдено импульсов: %1. Порог %2 В (%3 дБ отн. 1 мкВ), PDT %4 мкс, HDT %5 мкс, HLT %6 мкс.")
            .arg(m_model->rowCount())
            .arg(s.thresholdV, 0, 'f', 6)
            .arg(ae::decibelsReMicrovolt(s.thresholdV), 0, 'f', 1)
            .arg(s.pdtUs)
            .arg(s.hdtUs)
            .arg(s.hltUs);
    if (m_stopped)
        text = tr("Поиск остановлен: показаны импульсы, найденные до остановки. ") + text;
    if (!ae::periodKnown(period))
        text += tr(" Частота дискретизации записи неизвестна: времена даны в отсчётах, окна PDT, HDT "
                   "и HLT отсчитаны по отсчёту на микросекунду.");
    ui->summaryLabel->setText(text);
    // The plots of these hits follow the new search.
    if (TAnalysisWindow::windowOf(parentWidget(), this))
        showAnalysis();
}

const ae::Hit* THitTable::hitAt(int r) const
{
    return r >= 0 && r < m_model->rowCount() ? &m_model->hit(r) : nullptr;
}

std::optional<ae::HitRow> THitTable::rowAt(int r) const
{
    if (r >= 0 && r < m_model->rowCount())
        return m_model->row(r);
    return std::nullopt;
}

QString THitTable::selectedText() const
{
    QList<int> rows;
    for (const QModelIndex& i : ui->hitView->selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    QString text = ae::hitsCsvHeader().split(QLatin1Char(',')).join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (int r : rows) {
        if (const std::optional<ae::HitRow> row = rowAt(r))
            text += (QStringList{m_file} + ae::hitFields(*row)).join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

void THitTable::copySelection() const
{
    if (ui->hitView->selectionModel()->hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

QByteArray THitTable::csv() const
{
    QByteArray out = ae::hitsCsvHeader().toUtf8() + '\n';
    for (int r = 0; r < m_model->rowCount(); ++r) {
        if (const std::optional<ae::HitRow> row = rowAt(r))
            out += ae::hitsCsvLine(m_file, *row).toUtf8() + '\n';
    }
    return out;
}

int THitTable::exportCsv(const QString& path) const
{
    const QByteArray text = csv();
    return writeFileSafely(path, [&text](QIODevice& out) { return out.write(text) == text.size(); });
}

void THitTable::chooseExportFile()
{
    const QString start = umisc::fileDialogFolder();
    QString path = QFileDialog::getSaveFileName(this, tr("Экспорт импульсов АЭ"), start, tr("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        path += QLatin1String(".csv");
    const int result = exportCsv(path);
    if (result != 0) {
        umisc::showWarning(StringsKit::WarnWriteFailed, QString::number(result), QString(), false, true);
        return;
    }
    umisc::rememberFileDialogFolder(path);
}

void THitTable::goToRow(int r)
{
    if (const ae::Hit* h = hitAt(r))
        goToHit(h->channel, h->first);
}

void THitTable::goToHit(int slot, qint64 sample)
{
    if (!m_form)
        return;
    // The readouts show the active window: this one first.
    if (QMdiArea* area = m_form->mdiArea())
        area->setActiveSubWindow(m_form);
    m_form->showSample(slot, int(sample));
}

ae::AnalysisSource THitTable::analysisSource() const
{
    ae::AnalysisSource s;
    s.title = m_file;
    s.records << m_file;
    s.hits = ae::analysisHits(m_model->hits(), m_model->periodUs(), 0, m_model->startUtcUs(), false);
    return s;
}

TAnalysisWindow* THitTable::showAnalysis()
{
    const bool made = !TAnalysisWindow::windowOf(parentWidget(), this);
    TAnalysisWindow* w = TAnalysisWindow::showFor(parentWidget(), this, analysisSource());
    if (made)
        connect(w, &TAnalysisWindow::hitActivated, this,
                [this](const ae::AnalysisHit& h) { goToHit(h.channel - 1, h.first); });
    return w;
}
