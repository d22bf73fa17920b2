#include "views/ui/statistics_page.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>

#include "support/language.h"
#include "support/locale.h"

namespace rc {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QTableView* makeView(QAbstractItemModel* model, QWidget* parent) {
  auto* v = new QTableView(parent);
  v->setModel(model);
  v->setSelectionBehavior(QAbstractItemView::SelectRows);
  v->setAlternatingRowColors(true);
  v->setWordWrap(false);
  v->verticalHeader()->setVisible(false);
  v->verticalHeader()->setDefaultSectionSize(v->fontMetrics().height() + 6);
  v->horizontalHeader()->setHighlightSections(false);
  v->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return v;
}

}  // namespace

StatisticsTableModel::StatisticsTableModel(bool hrvTable, QObject* parent)
    : QAbstractTableModel(parent), sorter_(hrvTable) {}

void StatisticsTableModel::setContent(std::vector<std::string> headers, std::vector<StatisticsRow> rows) {
  beginResetModel();
  headers_ = std::move(headers);
  rows_ = std::move(rows);
  sorter_.sort(rows_);
  endResetModel();
}

void StatisticsTableModel::setSort(int column, bool ascending) {
  beginResetModel();
  sorter_.set(column, ascending);
  sorter_.sort(rows_);
  endResetModel();
}

void StatisticsTableModel::clickColumn(int column) {
  beginResetModel();
  sorter_.click(column);
  sorter_.sort(rows_);
  endResetModel();
}

int StatisticsTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int StatisticsTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant StatisticsTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const auto& cells = rows_[static_cast<std::size_t>(index.row())].cells;
  if (index.column() >= static_cast<int>(cells.size())) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
    return qs(cells[static_cast<std::size_t>(index.column())]);
  return {};
}

QVariant StatisticsTableModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o != Qt::Horizontal || section < 0 || section >= static_cast<int>(headers_.size())) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
    return qs(headers_[static_cast<std::size_t>(section)]);
  return {};
}

void SessionTableModel::setRows(std::vector<SessionTableRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int SessionTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SessionTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant SessionTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const SessionTableRow& r = rows_[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole) return qs(index.column() == 0 ? r.caption : r.value);
  if (role == Qt::UserRole) return r.source;
  return {};
}

QVariant SessionTableModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1) return {};
  return qs(sessionHeaders()[static_cast<std::size_t>(section)]);
}

CHRVStatistics::CHRVStatistics(ReviewContext& ctx, QWidget* parent)
    : ReviewPage(parent),
      ctx_(ctx),
      hrvModel_(new StatisticsTableModel(true, this)),
      signalModel_(new StatisticsTableModel(false, this)),
      sessionModel_(new SessionTableModel(this)) {
  setObjectName("statisticsPage");
  hrvView_ = makeView(hrvModel_, this);
  signalView_ = makeView(signalModel_, this);
  sessionView_ = makeView(sessionModel_, this);
  hrvView_->setObjectName("hrvTable");
  signalView_->setObjectName("signalTable");
  sessionView_->setObjectName("sessionTable");
  sessionView_->setMaximumHeight(sessionView_->fontMetrics().height() * 5);
  sessionView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sessionView_->installEventFilter(this);
  connect(hrvView_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int c) { hrvModel_->clickColumn(c); });
  connect(signalView_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int c) { signalModel_->clickColumn(c); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* split = new QSplitter(Qt::Vertical, this);
  auto box = [&](int titleId, QTableView* view) {
    auto* w = new QWidget(split);
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(qs(str(titleId)), w);
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    title->setBuddy(view);
    l->addWidget(title);
    l->addWidget(view);
    split->addWidget(w);
  };
  box(5253, hrvView_);
  box(5254, signalView_);
  box(5255, sessionView_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 3);
  split->setStretchFactor(2, 0);
  layout->addWidget(split);
  setTabOrder(hrvView_, signalView_);
  setTabOrder(signalView_, sessionView_);
  fill(true);
}

void CHRVStatistics::fill(bool sortForRecompute) {
  if (!ctx_.session || !ctx_.results) return;
  const AnalysisSession& s = *ctx_.session;
  const char dec = localeSeparators().decimal;
  if (sortForRecompute) {
    const int col = columnAfterRecompute(!s.openSession, s.settings.statisticOption);
    hrvModel_->setSort(col, true);
    signalModel_->setSort(col, true);
  }
  hrvModel_->setContent(hrvHeaders(s.settings.nnInterval, s.settings.bandUnits),
                        hrvTableRows(s, *ctx_.results, dec));
  signalModel_->setContent(signalHeaders(), signalTableRows(s, *ctx_.results, dec));
  sessionModel_->setRows(sessionTableRows(s, *ctx_.results, dec));
  applyWidths();
}

void CHRVStatistics::applyWidths() {
  if (!ctx_.session) return;
  const bool scripted = !ctx_.session->openSession;
  // The widths are those of the layout at the font's usual size; a larger
  // font widens them in proportion so the headers stay readable.
  const double scale = std::max(1.0, fontMetrics().averageCharWidth() / 5.5);
  // Label columns grow to show their texts, up to a limit.
  auto labelWidth = [this](const StatisticsTableModel* m, int c, int w) {
    int need = 0;
    for (const StatisticsRow& r : m->rows())
      need = std::max(need, fontMetrics().horizontalAdvance(
                                QString::fromStdString(r.cells[static_cast<std::size_t>(c)])));
    return std::max(w, std::min(need + 12, 240));
  };
  auto headerWidth = [this](const StatisticsTableModel* m, int c) {
    return fontMetrics().horizontalAdvance(m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()) + 16;
  };
  for (int c = 0; c < kHrvColumnCount; ++c) {
    int w = static_cast<int>(hrvColumnWidth(c, scripted) * scale);
    hrvView_->setColumnHidden(c, w == 0);
    if (w && hrvColumnType(c) == ColumnType::Text) w = labelWidth(hrvModel_, c, w);
    if (w) w = std::max(w, headerWidth(hrvModel_, c));
    if (w) hrvView_->setColumnWidth(c, w);
  }
  for (int c = 0; c < kSignalColumnCount; ++c) {
    int w = static_cast<int>(signalColumnWidth(c, scripted) * scale);
    signalView_->setColumnHidden(c, w == 0);
    if (w && signalColumnType(c) == ColumnType::Text) w = labelWidth(signalModel_, c, w);
    if (w) w = std::max(w, headerWidth(signalModel_, c));
    if (w) signalView_->setColumnWidth(c, w);
  }
  applySessionWidths();
}

void CHRVStatistics::applySessionWidths() {
  const int bar = sessionView_->verticalScrollBar()->sizeHint().width();
  const auto [a, b] = sessionColumnWidths(sessionView_->width() - 2 * sessionView_->frameWidth(), bar);
  sessionView_->setColumnWidth(0, a);
  sessionView_->setColumnWidth(1, b);
}

bool CHRVStatistics::eventFilter(QObject* watched, QEvent* event) {
  if (watched == sessionView_ && event->type() == QEvent::Resize) applySessionWidths();
  return ReviewPage::eventFilter(watched, event);
}

void CHRVStatistics::resizeEvent(QResizeEvent* event) {
  ReviewPage::resizeEvent(event);
  applyWidths();
}

void CHRVStatistics::pageShown() {
  if (ctx_.statisticsOutOfDate && ctx_.recompute) {
    if (ctx_.recompute() == 0) ctx_.statisticsOutOfDate = false;
    fill(true);
  }
}

void CHRVStatistics::statisticsRecomputed() { fill(true); }

void CHRVStatistics::updateHeaders() {
  if (!ctx_.session) return;
  fill(false);
}

void CHRVStatistics::statisticOptionChanged() { fill(true); }

}  // namespace rc
