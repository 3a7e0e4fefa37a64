#include "ae/hit_table.h"

#include "ae/hit_csv.h"
#include "init.h"
#include "umisc.h"
#include "ustrings.h"
#include "wave_form.h"
#include "wave_stor.h"

#include "ui_HitTable.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QIODevice>
#include <QKeyEvent>
#include <QMdiArea>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <algorithm>
#include <utility>

namespace ae {

void HitTableModel::setHits(std::vector<Hit> hits, double periodUs)
{
    beginResetModel();
    m_hits = std::move(hits);
    m_period = periodUs;
    m_fields.clear();
    m_fields.reserve(m_hits.size());
    for (const Hit& h : m_hits)
        m_fields.push_back(hitFields(hitRow(h, periodUs)));
    endResetModel();
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
    const Hit& h = hit(index.row());
    const int c = index.column();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::DisplayRole) {
        // Without a period the times are shown in samples; the CSV leaves them empty.
        if (!periodKnown(m_period) && (c == ArrivalColumn || c == RiseColumn || c == DurationColumn))
            return QCoreApplication::translate("THitTable", "%1 отсч.")
                .arg(data(index, SortRole).toLongLong());
        return m_fields[std::size_t(index.row())].value(c);
    }
    if (role != SortRole)
        return {};
    switch (c) {
    case ChannelColumn: return h.channel + 1;
    case ArrivalColumn: return h.first;
    case PeakVColumn:
    case PeakDbColumn: return h.peakV;
    case RiseColumn: return h.peak - h.first;
    case DurationColumn: return h.last - h.first;
    case CountsColumn: return h.counts;
    case CountsToPeakColumn: return h.countsToPeak;
    case EnergyColumn: return h.sumSquares;
    case AvgFreqColumn: {
        const std::optional<double> f = hitRow(h, m_period).avgFreqKHz;
        return f ? QVariant(*f) : QVariant();
    }
    default: return {};
    }
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
    };
    if (section < 0 || section >= ColumnCount)
        return {};
    return QCoreApplication::translate("THitTable", titles[section]);
}

} // namespace ae

namespace {

// Rows are numbered as they are shown, whatever the sort.
class ShownOrderProxy : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Vertical && role == Qt::DisplayRole)
            return section + 1;
        return QSortFilterProxyModel::headerData(section, orientation, role);
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------

THitTable* THitTable::tableOf(const QWidget* parent, const TWForm* form)
{
    if (!parent || !form)
        return nullptr;
    for (THitTable* t : parent->findChildren<THitTable*>(Qt::FindDirectChildrenOnly))
        if (t->form() == form)
            return t;
    return nullptr;
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
    , m_proxy(new ShownOrderProxy(this))
    , m_form(form)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    umisc::placeToolWindow(this, QStringLiteral("hitTable"));
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(ae::HitTableModel::SortRole);
    ui->hitView->setModel(m_proxy);
    ui->hitView->sortByColumn(ae::HitTableModel::ArrivalColumn, Qt::AscendingOrder);
    ui->hitView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->hitView->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    // The view's own Ctrl+C copies one cell: the table takes the key first.
    ui->hitView->installEventFilter(this);
    connect(ui->copyBtn, &QPushButton::clicked, this, &THitTable::copySelection);
    connect(ui->exportBtn, &QPushButton::clicked, this, &THitTable::chooseExportFile);
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

void THitTable::detect(const ae::HitSettings& s)
{
    if (!m_form || !m_form->record)
        return;
    const TWaveStor& record = *m_form->record;
    const double period = record.samplePeriodUs();
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_model->setHits(ae::detectHits(record, s), period);
        QApplication::restoreOverrideCursor();
    }
    m_file = m_form->windowTitle();
    setWindowTitle(tr("Импульсы АЭ — %1").arg(m_file));

    QVector<wform::SpanMark> marks;
    marks.reserve(m_model->rowCount());
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const ae::Hit& h = m_model->hit(r);
        marks.push_back({h.channel, int(h.first), int(h.last)});
    }
    m_form->setSpanMarks(marks);

    QString text =
        tr("Найдено импульсов: %1. Порог %2 В (%3 дБ отн. 1 мкВ), PDT %4 мкс, HDT %5 мкс, HLT %6 мкс.")
            .arg(m_model->rowCount())
            .arg(s.thresholdV, 0, 'f', 6)
            .arg(ae::decibelsReMicrovolt(s.thresholdV), 0, 'f', 1)
            .arg(s.pdtUs)
            .arg(s.hdtUs)
            .arg(s.hltUs);
    if (!ae::periodKnown(period))
        text += tr(" Частота дискретизации записи неизвестна: времена даны в отсчётах, окна PDT, HDT "
                   "и HLT отсчитаны по отсчёту на микросекунду.");
    ui->summaryLabel->setText(text);
}

const ae::Hit* THitTable::hitAt(int r) const
{
    const QModelIndex i = m_proxy->mapToSource(m_proxy->index(r, 0));
    return i.isValid() ? &m_model->hit(i.row()) : nullptr;
}

std::optional<ae::HitRow> THitTable::rowAt(int r) const
{
    const QModelIndex i = m_proxy->mapToSource(m_proxy->index(r, 0));
    if (!i.isValid())
        return std::nullopt;
    return ae::hitRow(m_model->hit(i.row()), m_model->periodUs());
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
    for (int r = 0; r < m_proxy->rowCount(); ++r) {
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
    const ae::Hit* h = hitAt(r);
    if (!h || !m_form)
        return;
    // The readouts show the active window: this one first.
    if (QMdiArea* area = m_form->mdiArea())
        area->setActiveSubWindow(m_form);
    m_form->showSample(h->channel, int(h->first));
}
