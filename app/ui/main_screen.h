#pragma once
// The review-and-edit container window: the four pages behind their
// buttons, the signal buttons, the time frame and epoch length lists, the
// status bar, and the session commands (signal selection, analysis
// settings, mode resolution, Restore All, manual, About). The rules live in
// MainScreenModel; this window shows them and forwards the user's commands.
#include <QMainWindow>
#include <array>
#include <memory>

#include "app/container/main_screen_model.h"
#include "support/ui/review_page.h"

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QStackedWidget;
class QToolButton;

namespace rc {

class CMainScreen : public QMainWindow {
  Q_OBJECT

 public:
  CMainScreen(UserInterface& ui, QWidget* parent = nullptr);
  ~CMainScreen() override;
  // The application setting "BarsOn2DGraph" as the epoch viewer left it.
  bool barsOn2DGraph() const { return model_.barsOn2DGraph(); }

  // The load sequence: 1 loaded and ready to show, 0 failed, 2 no interval data.
  int load(const MainScreenModel::Request& request);

  MainScreenModel& model() { return model_; }
  int currentPage() const { return current_; }
  ReviewPage* page(int n) const { return pages_[static_cast<std::size_t>(n)]; }
  QComboBox* timeFrameList() const { return timeFrame_; }
  QComboBox* epochLengthList() const { return epochLength_; }
  QToolButton* pageButton(int n) const { return pageButtons_[static_cast<std::size_t>(n)]; }
  QAction* signalAction(int slot) const { return signalActions_[static_cast<std::size_t>(slot)]; }
  QLabel* statusPane(int n) const { return panes_[static_cast<std::size_t>(n)]; }

  void switchPage(int n);
  void selectSignal(int slot);
  void reconfig();
  void settings();
  void modeResolution();
  void restoreAll();
  void generateExcelReport();
  void wireContext();
  void openManual();

 Q_SIGNALS:
  // The container closed (the session is released).
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void autoEdit();
  void buildWindow();
  void buildPages();
  void resolvePendingEdits();
  void recomputedAll();
  void updateEnabled();
  void reloadSession();
  bool reloadFailed();

  UserInterface& ui_;
  MainScreenModel model_;
  MainScreenModel::Request request_;
  QStackedWidget* stack_ = nullptr;
  std::array<ReviewPage*, 4> pages_{};
  std::array<QToolButton*, 4> pageButtons_{};
  std::array<QAction*, 9> signalActions_{};
  std::array<QLabel*, 5> panes_{};
  QComboBox* timeFrame_ = nullptr;
  QComboBox* epochLength_ = nullptr;
  QAction* autoEdit_ = nullptr;
  int current_ = -1;
  int previous_ = -1;
  bool closing_ = false;
};

}  // namespace rc
