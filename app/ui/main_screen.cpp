#include "app/ui/main_screen.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "analysis/protocol/settings.h"
#include "analysis/series/series_file.h"
#include "app/main_dialog.h"
#include "app/session_analysis.h"
#include "app/ui/page_factory.h"
#include "app/ui/shell_dialogs.h"
#include "editors/ui/periodic_page.h"
#include "reports/ui/export_dialogs.h"
#include "reports/ui/report_dialogs.h"
#include "support/language.h"
#include "support/paths.h"

namespace rc {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }
QString ls(int id) { return qs(str(id)); }

constexpr int kSignalNames[9] = {119, 120, 195, 217, 217, 196, 196, 197, 197};

// The busy cursor for the life of a scope.
struct BusyCursor {
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

CMainScreen::CMainScreen(UserInterface& ui, QWidget* parent) : QMainWindow(parent), ui_(ui), model_(ui) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  model_.resolvePendingEdits = [this] { resolvePendingEdits(); };
  model_.dropPendingEdits = [this] {
    if (pages_[0]) pages_[0]->cancelPendingEdits();
  };
}

CMainScreen::~CMainScreen() = default;

int CMainScreen::load(const MainScreenModel::Request& request) {
  request_ = request;
  LoadResult r;
  {
    BusyCursor busy;
    r = model_.load(request);
  }
  if (r != LoadResult::Ready) return static_cast<int>(r);
  wireContext();
  buildWindow();
  buildPages();
  switchPage(0);
  selectSignal(model_.context().heartSlot);
  return 1;
}

void CMainScreen::buildWindow() {
  setWindowTitle(qs(model_.caption()));
  auto* file = menuBar()->addMenu(ls(5207));
  file->addAction(ls(5258), QKeySequence(Qt::CTRL | Qt::Key_Q), this, &QWidget::close);

  auto* session = menuBar()->addMenu(ls(5210));
  session->addAction(ls(5211), this, &CMainScreen::reconfig);
  session->addAction(ls(5212), QKeySequence(Qt::CTRL | Qt::Key_Comma), this, &CMainScreen::settings);
  session->addAction(ls(5213), this, &CMainScreen::modeResolution);
  session->addSeparator();
  session->addAction(ls(5214), this, &CMainScreen::restoreAll);
  autoEdit_ = session->addAction(ls(5215));
  autoEdit_->setEnabled(false);  // enabled while EKG or BVP is the selected signal
  connect(autoEdit_, &QAction::triggered, this, &CMainScreen::autoEdit);
  session->addSeparator();
  auto* exportAction = session->addAction(ls(335) + QStringLiteral("..."), QKeySequence(Qt::CTRL | Qt::Key_E));
  connect(exportAction, &QAction::triggered, this, [this] {
    resolvePendingEdits();
    runExport(model_.context(), ui_, this);
  });

  auto* view = menuBar()->addMenu(ls(5216));
  auto* tools = addToolBar(ls(5216));
  tools->setMovable(false);
  tools->setObjectName("toolbar");
  for (int p = 0; p < kPageCount; ++p) {
    auto* a = view->addAction(ls(pageTitleId(p)));
    a->setShortcut(QKeySequence(Qt::CTRL | (Qt::Key_1 + p)));
    connect(a, &QAction::triggered, this, [this, p] { switchPage(p); });
    auto* b = new QToolButton(tools);
    b->setText(ls(pageTitleId(p)));
    b->setCheckable(true);
    b->setObjectName(QString("page%1").arg(p));
    b->setToolTip(a->shortcut().toString(QKeySequence::NativeText));
    connect(b, &QToolButton::clicked, this, [this, p] { switchPage(p); });
    tools->addWidget(b);
    pageButtons_[static_cast<std::size_t>(p)] = b;
  }
  tools->addSeparator();
  view->addSeparator();
  auto* heartGroup = new QActionGroup(this);
  auto* otherGroup = new QActionGroup(this);
  const AnalysisSession& s = model_.session();
  for (int slot = 0; slot < 9; ++slot) {
    if (slot >= 3 && !s.slots[slot].used()) continue;
    std::string text = str(kSignalNames[slot]);
    if (slot >= 3) text += " " + s.slots[slot].label;
    auto* a = new QAction(qs(text), this);
    a->setCheckable(true);
    a->setObjectName(QString("signal%1").arg(slot));
    (slot < 3 ? heartGroup : otherGroup)->addAction(a);
    connect(a, &QAction::triggered, this, [this, slot] { selectSignal(slot); });
    view->addAction(a);
    tools->addAction(a);
    signalActions_[static_cast<std::size_t>(slot)] = a;
  }
  addToolBarBreak();
  auto* lists = addToolBar(ls(5217));
  lists->setMovable(false);
  lists->setObjectName("listsToolbar");
  tools = lists;
  tools->addAction(autoEdit_);
  auto* reports = new QToolButton(tools);
  reports->setText(ls(5217));
  reports->setPopupMode(QToolButton::InstantPopup);
  auto* reportMenu = new QMenu(reports);
  auto* textReport = reportMenu->addAction(ls(6407), QKeySequence(Qt::CTRL | Qt::Key_R));
  connect(textReport, &QAction::triggered, this, [this] {
    resolvePendingEdits();
    generateTextReport(model_.context(), ui_, this);
  });
  auto* excelReport = reportMenu->addAction(QStringLiteral("Generate Excel Report"));
  excelReport->setObjectName("generateExcelReport");
  connect(excelReport, &QAction::triggered, this, [this] { generateExcelReport(); });
  reports->setMenu(reportMenu);
  addAction(textReport);
  tools->addWidget(reports);
  tools->addSeparator();

  auto* tfLabel = new QLabel(ls(5218), tools);
  timeFrame_ = new QComboBox(tools);
  timeFrame_->setObjectName("timeFrame");
  timeFrame_->setMaxVisibleItems(20);
  for (const TimeFrameEntry& e : model_.timeFrames()) timeFrame_->addItem(qs(e.text), e.command);
  timeFrame_->setCurrentIndex(static_cast<int>(model_.timeFrameIndex()));
  tfLabel->setBuddy(timeFrame_);
  connect(timeFrame_, &QComboBox::activated, this, [this](int i) {
    BusyCursor busy;
    model_.timeFrame(static_cast<std::size_t>(i), false);
    for (ReviewPage* p : pages_) p->timeFrameChanged();
  });
  tools->addWidget(tfLabel);
  tools->addWidget(timeFrame_);
  auto* elLabel = new QLabel(ls(5219), tools);
  epochLength_ = new QComboBox(tools);
  epochLength_->setObjectName("epochLength");
  for (const EpochLengthEntry& e : epochLengthEntries()) epochLength_->addItem(qs(e.text), e.command);
  epochLength_->setCurrentIndex(std::max(0, epochLengthIndex(s.settings.epochTime)));
  elLabel->setBuddy(epochLength_);
  connect(epochLength_, &QComboBox::activated, this, [this](int i) {
    bool changed;
    {
      BusyCursor busy;
      changed = model_.epochLength(epochLength_->itemData(i).toInt());
    }
    epochLength_->setCurrentIndex(std::max(0, epochLengthIndex(model_.session().settings.epochTime)));
    if (changed) {
      for (ReviewPage* p : pages_) p->epochsChanged();
      recomputedAll();
    }
  });
  tools->addWidget(elLabel);
  tools->addWidget(epochLength_);

  auto* help = menuBar()->addMenu(ls(5208));
  help->addAction(ls(318), QKeySequence::HelpContents, this, [this] {
    const std::filesystem::path manual = programFolder() / "manual" / "index.html";
    const OpenResult r = ui_.openDocument(manual);
    if (r == OpenResult::NoApplication)
      ui_.showMessage(messageOf(223), Icon::Error);
    else if (r != OpenResult::Opened)
      ui_.showMessage(MessageBuilder().id(5256).text(" ").text(manual.string()), Icon::Error);
  });
  help->addAction(ls(5259), this, &CMainScreen::openManual);
  help->addAction(ls(5209), this, [this] { AboutDialog(this).exec(); });

  static const int kWidths[5] = {500, 160, 80, 160, 80};
  for (int i = 0; i < 5; ++i) {
    auto* l = new QLabel(this);
    l->setMinimumWidth(i == 0 ? 300 : kWidths[i] / 2);
    l->setObjectName(QString("pane%1").arg(i));
    statusBar()->addWidget(l, i == 0 ? 3 : 1);
    panes_[static_cast<std::size_t>(i)] = l;
  }
  panes_[0]->setText(qs(model_.statusText()));
  panes_[1]->setText(ls(239));
  panes_[2]->setText("00:00:00.000");
  panes_[3]->setText(ls(240));
  panes_[4]->setText("00:00:00.000");

  stack_ = new QStackedWidget(this);
  setCentralWidget(stack_);
}

void CMainScreen::buildPages() {
  ReviewContext& ctx = model_.context();
  for (int p = 0; p < kPageCount; ++p) {
    ReviewPage* page = createReviewPage(p, ctx, stack_);
    pages_[static_cast<std::size_t>(p)] = page;
    stack_->addWidget(page);
    connect(page, &ReviewPage::statusTimes, this, [this](const QString& a, const QString& b) {
      panes_[2]->setText(a);
      panes_[4]->setText(b);
    });
    connect(page, &ReviewPage::statisticsOutOfDate, this,
            [this] { model_.context().statisticsOutOfDate = true; });
    connect(page, &ReviewPage::heartSignalChosen, this, [this](int slot) {
      if (slot != model_.context().heartSlot && current_ == 3) selectSignal(slot);
    });
  }
}

void CMainScreen::resolvePendingEdits() {
  ReviewPage* p = pages_[0];
  if (!p || !p->hasPendingEdits()) return;
  if (ui_.askYesNo(messageOf(kPendingEditsQuestionId), false, Icon::Question))
    p->savePendingEdits();
  else
    p->cancelPendingEdits();
}

void CMainScreen::switchPage(int n) {
  if (n < 0 || n >= kPageCount || n == current_) return;
  previous_ = current_;
  current_ = n;
  for (int p = 0; p < kPageCount; ++p) pageButtons_[static_cast<std::size_t>(p)]->setChecked(p == n);
  if (previous_ >= 0) pages_[static_cast<std::size_t>(previous_)]->pageHidden();
  stack_->setCurrentIndex(n);
  if (previous_ >= 0) {
    resolvePendingEdits();
    ReviewContext& ctx = model_.context();
    if (n != 0)
      for (int i = 1; i < 5; ++i) panes_[static_cast<std::size_t>(i)]->clear();
    if (n == 0) {
      timeFrame_->setEnabled(true);
      epochLength_->setEnabled(true);
      panes_[1]->setText(ls(239));
      panes_[3]->setText(ls(240));
    } else if (n == 1) {
      timeFrame_->setEnabled(true);
      epochLength_->setEnabled(false);
      if (ctx.nonPeriodicSlot < 0)
        for (int slot = 3; slot < 9; ++slot)
          if (signalActions_[static_cast<std::size_t>(slot)]) {
            selectSignal(slot);
            break;
          }
    } else {
      timeFrame_->setEnabled(false);
      epochLength_->setEnabled(true);
      if (ctx.statisticsOutOfDate && model_.recompute() == 0) {
        ctx.statisticsOutOfDate = false;
        for (ReviewPage* p : pages_) p->statisticsRecomputed();
      }
    }
  }
  pages_[static_cast<std::size_t>(n)]->pageShown();
  pages_[static_cast<std::size_t>(n)]->setFocus();
  updateEnabled();
}

void CMainScreen::selectSignal(int slot) {
  const AnalysisSession& s = model_.session();
  ReviewContext& ctx = model_.context();
  if (slot <= 2) {
    if (!heartButtonEnabled(s, slot)) {
      if (auto* a = signalActions_[static_cast<std::size_t>(ctx.heartSlot)]) a->setChecked(true);
      return;
    }
    resolvePendingEdits();
    ctx.heartSlot = slot;
    autoEdit_->setEnabled(slot != kSlotResp);
  } else {
    resolvePendingEdits();
    ctx.nonPeriodicSlot = slot;
  }
  if (auto* a = signalActions_[static_cast<std::size_t>(slot)]) a->setChecked(true);
  for (ReviewPage* p : pages_) p->signalChanged();
}

void CMainScreen::updateEnabled() {
  const AnalysisSession& s = model_.session();
  for (int slot = 0; slot < 3; ++slot)
    if (auto* a = signalActions_[static_cast<std::size_t>(slot)]) a->setEnabled(heartButtonEnabled(s, slot));
}

void CMainScreen::recomputedAll() {
  for (ReviewPage* p : pages_) p->statisticsRecomputed();
}

void CMainScreen::reloadSession() {
  // The configuration changed: the session is loaded again (series found or
  // generated for the new channels) and the pages rebuilt on it.
  const int page = current_ < 0 ? 0 : current_;
  for (ReviewPage* p : pages_) {
    p->sessionClosing();
    stack_->removeWidget(p);
    delete p;
  }
  pages_ = {};
  model_.close();
  request_.barsOn2DGraph = model_.barsOn2DGraph();
  BusyCursor busy;
  const LoadResult r = model_.load(request_);
  if (r != LoadResult::Ready) {
    if (r == LoadResult::NoIntervals)
      ui_.showMessage(MessageBuilder().id(248).text(": ").id(411).text(": ").id(kCannotAnalyseId),
                      Icon::Warning);
    closing_ = true;
    close();
    return;
  }
  wireContext();
  menuBar()->clear();
  for (QToolBar* t : findChildren<QToolBar*>()) delete t;
  for (QLabel* l : panes_) delete l;
  signalActions_ = {};
  current_ = previous_ = -1;
  buildWindow();
  buildPages();
  switchPage(page);
  selectSignal(model_.context().heartSlot);
}

void CMainScreen::reconfig() {
  resolvePendingEdits();
  const auto channels = readSessionChannels(request_.dataRoot, request_.programFolder, request_.clientId,
                                            request_.sessionId, ui_);
  if (!channels) return;
  CHRVConfiguration dialog(*channels, model_.session().configFile, ui_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  reloadSession();
}

void CMainScreen::settings() {
  resolvePendingEdits();
  AnalysisSession& s = model_.session();
  AnalysisSettingsDialog dialog(s.settings, ui_, this);
  if (dialog.exec() != QDialog::Accepted || !dialog.result()) return;
  const AnalysisSettings before = s.settings;
  const SettingsSaveOutcome o = saveChangedSettings(s.config, s.configFile, before, *dialog.result());
  if (!o.saved) ui_.showMessage(fileNotCreatedMessage(s.configFile), Icon::Warning);
  const SettingsEffects& e = o.effects;
  if (e.regenerateEkgIbi || e.regenerateBvpIbi || e.regenerateRespiration || e.regenerateRms) {
    std::error_code ec;
    auto remove = [&](bool yes, SeriesKind kind, int slot) {
      if (yes && s.slots[slot].used())
        std::filesystem::remove(seriesFilePath(s.folder, kind, s.slots[slot].label), ec);
    };
    remove(e.regenerateEkgIbi, SeriesKind::IbiFromEkg, kSlotEkg);
    remove(e.regenerateBvpIbi, SeriesKind::IbiFromBvp, kSlotBvp);
    remove(e.regenerateRespiration, SeriesKind::RespPeriod, kSlotResp);
    for (int k = 7; k <= 8; ++k) remove(e.regenerateRms && s.slots[k].rawEmg, SeriesKind::Rms, k);
  }
  if (e.regenerateEkgIbi || e.regenerateBvpIbi || e.regenerateRespiration || e.regenerateRms ||
      e.reloadSources) {
    reloadSession();
    return;
  }
  s.settings = *dialog.result();
  if (e.recompute || before != s.settings) {
    BusyCursor busy;
    model_.recompute();
    recomputedAll();
  }
}

void CMainScreen::modeResolution() {
  AnalysisSession& s = model_.session();
  ModeResolutionModel m(s.settings.resolutions, s.slots[kSlotResp].used(),
                        s.slots[kSlotSc1].used() || s.slots[kSlotSc2].used(),
                        s.slots[kSlotTemp1].used() || s.slots[kSlotTemp2].used(),
                        s.slots[kSlotEmg1].used() || s.slots[kSlotEmg2].used());
  ModeResolutionDialog dialog(std::move(m), ui_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  if (!saveModeResolutions(s.config, s.configFile, dialog.model().values(), s.settings))
    ui_.showMessage(fileNotCreatedMessage(s.configFile), Icon::Warning);
  BusyCursor busy;
  model_.recompute();
  recomputedAll();
}

void CMainScreen::generateExcelReport() {
  resolvePendingEdits();
  model_.generateExcelReport(
      [this](const std::string& category) { return chooseExcelReport(category, ui_, this); });
  // The definition's epoch length and options may have changed the results.
  epochLength_->setCurrentIndex(std::max(0, epochLengthIndex(model_.session().settings.epochTime)));
  for (ReviewPage* p : pages_) p->epochsChanged();
  recomputedAll();
}

void CMainScreen::wireContext() {
  // Undo all segments changes the series every page shows.
  model_.context().undoAllSegments = [this](int slot) {
    if (!model_.undoAllSegments(slot)) return false;
    for (ReviewPage* p : pages_)
      if (p) p->signalChanged();
    recomputedAll();
    return true;
  };
}

void CMainScreen::restoreAll() {
  if (!model_.restoreAll()) return;
  for (ReviewPage* p : pages_) p->signalChanged();
  recomputedAll();
}

void CMainScreen::openManual() {
  const std::filesystem::path pdf = programFolder() / "PDF" / "RhythmcraftManual.pdf";
  const OpenResult r = ui_.openDocument(pdf);
  if (r == OpenResult::NoApplication)
    ui_.showMessage(messageOf(223), Icon::Error);
  else if (r == OpenResult::NotFound || r == OpenResult::Failed)
    ui_.showMessage(fileNotCreatedMessage(pdf), Icon::Error);
}

void CMainScreen::closeEvent(QCloseEvent* event) {
  if (model_.loaded()) {
    resolvePendingEdits();
    for (ReviewPage* p : pages_)
      if (p) p->sessionClosing();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_.close();
    QApplication::restoreOverrideCursor();
  }
  event->accept();
  emit closed();
}

void CMainScreen::autoEdit() {
  auto* periodic = dynamic_cast<CPeriodic*>(pages_[0]);
  if (!periodic || model_.context().heartSlot == kSlotResp) return;
  periodic->runAutoEdit();
  for (ReviewPage* p : pages_)
    if (p) p->signalChanged();
}

}  // namespace rc
