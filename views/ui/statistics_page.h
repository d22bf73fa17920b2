#pragma once
// The statistics page of the review-and-edit container: the HRV table, the
// signal table and the session table (mean SDNN per IBI source), each a
// QTableView over a model of cell texts from views/statistics. A header click
// sorts by that column (again: reversed); every recompute sorts both tables
// once by the session kind's column.
#include <QAbstractTableModel>
#include <QTableView>

#include "app/review_context.h"
#include "support/ui/review_page.h"
#include "views/statistics/statistics_table.h"

namespace rc {

class StatisticsTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  StatisticsTableModel(bool hrvTable, QObject* parent = nullptr);

  void setContent(std::vector<std::string> headers, std::vector<StatisticsRow> rows);
  void setSort(int column, bool ascending);
  // The header click: another column sorts ascending, the same one reverses.
  void clickColumn(int column);
  const StatisticsSorter& sorter() const { return sorter_; }
  const std::vector<StatisticsRow>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<std::string> headers_;
  std::vector<StatisticsRow> rows_;
  StatisticsSorter sorter_;
};

class SessionTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;
  void setRows(std::vector<SessionTableRow> rows);
  const std::vector<SessionTableRow>& rows() const { return rows_; }
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<SessionTableRow> rows_;
};

class CHRVStatistics : public ReviewPage {
  Q_OBJECT

 public:
  explicit CHRVStatistics(ReviewContext& ctx, QWidget* parent = nullptr);

  void pageShown() override;
  void statisticsRecomputed() override;
  // After a settings change: the NN and band headers follow the settings.
  void updateHeaders();
  // "StatisticOption" changed: the rows come from the stored records.
  void statisticOptionChanged();

  QTableView* hrvView() const { return hrvView_; }
  QTableView* signalView() const { return signalView_; }
  QTableView* sessionView() const { return sessionView_; }
  StatisticsTableModel* hrvModel() const { return hrvModel_; }
  StatisticsTableModel* signalModel() const { return signalModel_; }
  SessionTableModel* sessionModel() const { return sessionModel_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fill(bool sortForRecompute);
  void applyWidths();
  void applySessionWidths();

  ReviewContext& ctx_;
  StatisticsTableModel* hrvModel_;
  StatisticsTableModel* signalModel_;
  SessionTableModel* sessionModel_;
  QTableView* hrvView_;
  QTableView* signalView_;
  QTableView* sessionView_;
};

}  // namespace rc
