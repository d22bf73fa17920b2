#include "app/ui/rhythmcraft_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "app/ui/main_screen.h"
#include "app/ui/shell_dialogs.h"
#include "editors/ui/thirdparty_editor.h"
#include "reports/ui/report_dialogs.h"
#include "store/ado_database.h"
#include "store/ado_error.h"
#include "store/data_root.h"
#include "store/records.h"
#include "support/language.h"
#include "support/paths.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

QString qs(const std::string& s) { return QString::fromStdString(s); }
QString ls(int id) { return qs(str(id)); }

QTreeWidget* makeList(QWidget* parent, const QStringList& headers, const std::vector<int>& widths) {
  auto* l = new QTreeWidget(parent);
  l->setRootIsDecorated(false);
  l->setUniformRowHeights(true);
  l->setAllColumnsShowFocus(true);
  l->setSelectionMode(QAbstractItemView::SingleSelection);
  l->setHeaderLabels(headers);
  l->header()->setSectionsClickable(true);
  l->header()->setSortIndicatorShown(true);
  l->header()->setStretchLastSection(false);
  // The widths suit a small dialog font; a larger font widens them.
  const double scale = std::max(1.0, l->fontMetrics().horizontalAdvance("2026-03-02 09:15:00") / 120.0);
  for (std::size_t i = 0; i < widths.size(); ++i)
    l->setColumnWidth(static_cast<int>(i), static_cast<int>(widths[i] * scale));
  return l;
}

}  // namespace

CRhythmcraftDlg::CRhythmcraftDlg(const std::string& commandLine, UserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui), direct_(parseDirectOpen(commandLine)) {
  setWindowTitle(ls(101));
  setObjectName("mainDialog");
  auto* v = new QVBoxLayout(this);
  auto* menu = new QMenuBar(this);
  auto* file = menu->addMenu(ls(5207));
  file->addAction(ls(317), QKeySequence(Qt::CTRL | Qt::Key_Q), this, &QDialog::reject);
  auto* tools = menu->addMenu(ls(5257));
  tools->addAction(ls(381), this, [this] { openExcelReportEditor(root_, ui_, this); });
  auto* help = menu->addMenu(ls(5208));
  help->addAction(ls(318), QKeySequence::HelpContents, this, &CRhythmcraftDlg::showHelp);
  help->addAction(ls(5209), this, [this] { AboutDialog(this).exec(); });
  v->setMenuBar(menu);

  prompt_ = new QLabel(ls(102), this);
  prompt_->setWordWrap(true);
  v->addWidget(prompt_);
  auto* lists = new QHBoxLayout;
  clients_ = makeList(this, {ls(107), ls(108), ls(109), QString()}, {228, 60, 51, 19});
  clients_->setObjectName("clientList");
  sessions_ = makeList(this, {ls(110), ls(111) + " / " + ls(112), ls(190), ls(113), ls(114), ls(191)},
                       {133, 130, 40, 75, 117, 76});
  sessions_->setObjectName("sessionList");
  clients_->setMinimumWidth(clients_->columnWidth(0) + clients_->columnWidth(1) + clients_->columnWidth(2) +
                            40);
  sessions_->header()->setStretchLastSection(true);
  lists->addWidget(clients_, 2);
  lists->addWidget(sessions_, 3);
  v->addLayout(lists, 1);
  auto* buttons = new QHBoxLayout;
  review_ = new QPushButton(ls(5204), this);
  review_->setObjectName("reviewButton");
  review_->setDefault(true);
  thirdParty_ = new QPushButton(ls(5205), this);
  connect(thirdParty_, &QPushButton::clicked, this, [this] { openThirdPartyEditor(this, ui_, program_); });
  closeButton_ = new QPushButton(ls(5206), this);
  buttons->addWidget(review_);
  buttons->addWidget(thirdParty_);
  buttons->addStretch();
  buttons->addWidget(closeButton_);
  v->addLayout(buttons);
  setTabOrder(clients_, sessions_);
  setTabOrder(sessions_, review_);
  setTabOrder(review_, thirdParty_);
  setTabOrder(thirdParty_, closeButton_);

  connect(review_, &QPushButton::clicked, this, &CRhythmcraftDlg::openSession);
  connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
  connect(clients_, &QTreeWidget::currentItemChanged, this, [this] { fillSessions(); });
  connect(sessions_, &QTreeWidget::currentItemChanged, this, [this] { chooseSession(); });
  connect(sessions_, &QTreeWidget::itemDoubleClicked, this, [this] { openSession(); });
  connect(clients_->header(), &QHeaderView::sectionClicked, this, &CRhythmcraftDlg::sortClients);
  connect(sessions_->header(), &QHeaderView::sectionClicked, this, &CRhythmcraftDlg::sortSessions);
  resize(1000, 600);
}

CRhythmcraftDlg::~CRhythmcraftDlg() {
  if (container_) delete container_.data();
}

bool CRhythmcraftDlg::initialise() {
  program_ = programFolder();
  if (program_.empty()) {
    ui_.showMessage(messageOf(128), Icon::Error);
    return false;
  }
  root_ = dataRoot();
  std::error_code ec;
  if (!fs::exists(root_ / kMainDatabaseName, ec)) {
    ui_.showMessage(messageOf(kNoMainDatabaseId), Icon::Warning);
    return true;
  }
  try {
    CADODatabase db;
    if (!db.open(root_ / kMainDatabaseName, CADODatabase::Mode::ReadOnly)) return true;
    host_ = readHostSettings(db);
  } catch (const CADOException& e) {
    reportDatabaseError(ui_, e);
    return true;
  }
  databaseOpen_ = true;
  appSettings_ = readAppSettings(root_ / kAppSettingsFileName);
  if (!ensureModuleDatabase(root_, program_, ui_)) return false;

  if (direct_) {
    prompt_->hide();
    clients_->hide();
    sessions_->hide();
    review_->hide();
    thirdParty_->hide();
    closeButton_->hide();
    clientId_ = direct_->first;
    sessionId_ = direct_->second;
    const auto set = sessionChannelSetFile(root_, clientId_, sessionId_);
    try {
      CADODatabase db;
      if (!set || !db.open(*set, CADODatabase::Mode::ReadOnly)) {
        ui_.showMessage(MessageBuilder().id(1044).text(" ").text(set ? set->string() : std::string()),
                        Icon::Warning);
        return false;
      }
      if (!channelSetHasHeartChannel(db)) {
        ui_.showMessage(MessageBuilder().id(kNoHeartChannelId).text(": ").id(kCannotAnalyseId),
                        Icon::Warning);
        return false;
      }
    } catch (const CADOException& e) {
      reportDatabaseError(ui_, e);
      return false;
    }
    QTimer::singleShot(50, this, &CRhythmcraftDlg::startDirectOpen);
    return true;
  }
  fillClients();
  return true;
}

void CRhythmcraftDlg::startDirectOpen() {
  openSession();
  if (!container_) done(QDialog::Rejected);
}

void CRhythmcraftDlg::fillClients() {
  clientRows_.clear();
  try {
    CADODatabase db;
    if (db.open(root_ / kMainDatabaseName, CADODatabase::Mode::ReadOnly))
      clientRows_ = readClients(db, host_.confidential);
  } catch (const CADOException& e) {
    reportDatabaseError(ui_, e);
  }
  if (clientSort_ >= 0)
    std::stable_sort(clientRows_.begin(), clientRows_.end(),
                     [this](const ClientEntry& a, const ClientEntry& b) {
                       const int c = compareClients(a, b, clientSort_);
                       return clientAsc_ ? c < 0 : c > 0;
                     });
  const int keep = clientId_ ? clientId_ : host_.lastClientId;
  QSignalBlocker block(clients_);
  clients_->clear();
  QTreeWidgetItem* select = nullptr;
  for (const ClientEntry& c : clientRows_) {
    QStringList cells;
    for (const std::string& t : clientCells(c)) cells << qs(t);
    auto* item = new QTreeWidgetItem(clients_, cells);
    item->setData(0, Qt::UserRole, c.id);
    item->setToolTip(0, cells[0]);
    if (c.id == keep || !select) select = item;
    if (c.id == keep) select = item;
  }
  if (select) clients_->setCurrentItem(select);
  fillSessions();
}

void CRhythmcraftDlg::fillSessions() {
  QTreeWidgetItem* current = clients_->currentItem();
  clientId_ = current ? current->data(0, Qt::UserRole).toInt() : 0;
  sessionRows_.clear();
  if (clientId_) {
    try {
      CADODatabase db;
      if (db.open(root_ / kMainDatabaseName, CADODatabase::Mode::ReadOnly))
        sessionRows_ = readSessions(db, root_, clientId_);
    } catch (const CADOException& e) {
      reportDatabaseError(ui_, e);
    }
  }
  if (sessionSort_ >= 0)
    std::stable_sort(sessionRows_.begin(), sessionRows_.end(),
                     [this](const SessionEntry& a, const SessionEntry& b) {
                       const int c = compareSessions(a, b, sessionSort_);
                       return sessionAsc_ ? c < 0 : c > 0;
                     });
  QSignalBlocker block(sessions_);
  sessions_->clear();
  for (const SessionEntry& s : sessionRows_) {
    QStringList cells;
    for (const std::string& t : sessionCells(s)) cells << qs(t);
    if (s.fullSaving) cells[5] = QString::fromUtf8("\u2714");
    auto* item = new QTreeWidgetItem(sessions_, cells);
    item->setData(0, Qt::UserRole, s.sessionId);
    for (int c = 0; c < 5; ++c) item->setToolTip(c, cells[c]);
  }
  if (sessions_->topLevelItemCount() > 0) sessions_->setCurrentItem(sessions_->topLevelItem(0));
  chooseSession();
}

void CRhythmcraftDlg::chooseSession() {
  if (direct_) return;
  QTreeWidgetItem* item = sessions_->currentItem();
  sessionId_ = 0;
  if (!item) return;
  const int id = item->data(0, Qt::UserRole).toInt();
  for (const SessionEntry& s : sessionRows_)
    if (s.sessionId == id) {
      sessionId_ = id;
      sessionLength_ = s.duration;
    }
}

void CRhythmcraftDlg::sortClients(int column) {
  clientAsc_ = column == clientSort_ ? !clientAsc_ : true;
  clientSort_ = column;
  clients_->header()->setSortIndicator(column, clientAsc_ ? Qt::AscendingOrder : Qt::DescendingOrder);
  const int keep = clientId_;
  clientId_ = keep;
  fillClients();
}

void CRhythmcraftDlg::sortSessions(int column) {
  sessionAsc_ = column == sessionSort_ ? !sessionAsc_ : true;
  sessionSort_ = column;
  sessions_->header()->setSortIndicator(column, sessionAsc_ ? Qt::AscendingOrder : Qt::DescendingOrder);
  fillSessions();
}

void CRhythmcraftDlg::openSession() {
  if (!direct_) chooseSession();
  if (clientId_ == 0 || sessionId_ == 0) {
    ui_.showMessage(messageOf(kNoSessionChosenId), Icon::Warning);
    return;
  }
  const fs::path folder = sessionFolder(root_, clientId_, sessionId_);
  const fs::path config = folder / kSessionConfigFileName;
  const ConfigPreparation prep = prepareSessionConfig(config, program_ / kSessionConfigFileName, ui_);
  if (!prep.ok) return;
  if (prep.createdNow || forceReconfig_) {
    const bool forced = forceReconfig_;
    forceReconfig_ = false;
    const auto channels = readSessionChannels(root_, program_, clientId_, sessionId_, ui_);
    if (!channels) {
      abandonSessionConfig(config, prep.createdNow);
      return;
    }
    CHRVConfiguration dialog(*channels, config, ui_, this);
    bool done = false;
    if (!forced) {
      Status st;
      const SelectionStep step = configureWithoutDialog(dialog.model(), config, &st);
      if (step == SelectionStep::WriteFailed) {
        ui_.showMessage(MessageBuilder().id(kConfigNotCreatedId).text(" ").text(kSessionConfigFileName),
                        Icon::Warning);
        abandonSessionConfig(config, prep.createdNow);
        return;
      }
      done = step == SelectionStep::WrittenWithoutDialog;
    }
    if (!done && dialog.exec() != QDialog::Accepted) {
      abandonSessionConfig(config, prep.createdNow);
      return;
    }
  }
  if (container_) {
    container_->activateWindow();
    setEnabled(false);
    return;
  }
  auto* screen = new CMainScreen(ui_);
  const int r = screen->load({root_, program_, clientId_, sessionId_, host_.confidential,
                              appSettings_.barsOn2DGraph != 0});
  if (r == 1) {
    container_ = screen;
    connect(screen, &CMainScreen::closed, this, &CRhythmcraftDlg::containerClosed, Qt::QueuedConnection);
    screen->resize(1280, 720);
    screen->showMaximized();
    setEnabled(false);
    emit containerOpened(screen);
    return;
  }
  delete screen;
  if (r != 2) return;
  if (direct_) {
    ui_.showMessage(MessageBuilder().id(kCannotAnalyseId).text("."), Icon::Warning);
  } else if (sessionLength_ < 60) {
    ui_.showMessage(MessageBuilder().id(kCannotAnalyseId).text(": ").id(kUnderAMinuteId), Icon::Warning);
  } else {
    QTimer::singleShot(50, this, [this, folder] { explainMissingData(folder); });
  }
}

void CRhythmcraftDlg::explainMissingData(const fs::path& folder) {
  ui_.showMessage(MessageBuilder()
                      .id(248)
                      .text(": ")
                      .id(411)
                      .text(". ")
                      .id(kCannotAnalyseId)
                      .text(": ")
                      .text(folder.string()),
                  Icon::Warning);
  forceReconfig_ = true;
}

void CRhythmcraftDlg::containerClosed() {
  if (container_) {
    // The epoch viewer's drawing style is written with the other
    // application settings at exit.
    appSettings_.barsOn2DGraph = container_->barsOn2DGraph() ? 1 : 0;
    container_->deleteLater();
  }
  container_ = nullptr;
  if (direct_) {
    done(QDialog::Accepted);
    return;
  }
  setEnabled(true);
  activateWindow();
  sessions_->setFocus();
}

void CRhythmcraftDlg::showHelp() {
  const fs::path manual = program_ / "manual" / "index.html";
  const OpenResult r = ui_.openDocument(manual);
  if (r == OpenResult::NoApplication)
    ui_.showMessage(messageOf(223), Icon::Error);
  else if (r != OpenResult::Opened)
    ui_.showMessage(MessageBuilder().id(5256).text(" ").text(manual.string()), Icon::Error);
}

void CRhythmcraftDlg::done(int result) {
  if (container_) {
    // Closing the main dialog closes the container first (it saves what the
    // session keeps).
    container_->close();
    if (container_) delete container_.data();
  }
  if (!root_.empty()) writeAppSettingsAtExit(root_ / kAppSettingsFileName, appSettings_);
  QDialog::done(result);
}

}  // namespace rc
