#pragma once
// The main dialog: the client list (masked when the host's settings say
// confidential), the client's sessions, "Review and Edit" (also a double
// click or Enter on a session), help and About. In direct-open mode (the
// command line named a session) the lists stay hidden and the session opens
// at once; closing its container ends the program.
#include <QDialog>
#include <QPointer>
#include <memory>
#include <optional>

#include "app/main_dialog.h"
#include "store/records_host.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace rc {

class CMainScreen;

class CRhythmcraftDlg : public QDialog {
  Q_OBJECT

 public:
  // commandLine: empty, or "CLIENT SESSION" for direct-open mode.
  CRhythmcraftDlg(const std::string& commandLine, UserInterface& ui, QWidget* parent = nullptr);
  ~CRhythmcraftDlg() override;

  // The initialisation; false when the dialog must end at once.
  bool initialise();

  QTreeWidget* clientList() const { return clients_; }
  QTreeWidget* sessionList() const { return sessions_; }
  QPushButton* reviewButton() const { return review_; }
  CMainScreen* container() const { return container_; }
  bool directOpen() const { return direct_.has_value(); }
  const AppSettings& appSettings() const { return appSettings_; }
  int clientId() const { return clientId_; }
  int sessionId() const { return sessionId_; }

  // "Review and Edit".
  void openSession();
  void done(int result) override;

 Q_SIGNALS:
  // A container was opened (loaded and shown).
  void containerOpened(CMainScreen* screen);

 private:
  void fillClients();
  void fillSessions();
  void chooseSession();
  void sortClients(int column);
  void sortSessions(int column);
  void showHelp();
  void explainMissingData(const std::filesystem::path& folder);
  void containerClosed();
  void startDirectOpen();

  UserInterface& ui_;
  std::optional<std::pair<int, int>> direct_;
  std::filesystem::path root_;
  std::filesystem::path program_;
  HostSettings host_;
  AppSettings appSettings_;
  bool databaseOpen_ = false;
  bool forceReconfig_ = false;
  int clientId_ = 0;
  int sessionId_ = 0;
  double sessionLength_ = 0;
  std::vector<ClientEntry> clientRows_;
  std::vector<SessionEntry> sessionRows_;
  int clientSort_ = -1, sessionSort_ = -1;
  bool clientAsc_ = true, sessionAsc_ = true;
  QTreeWidget* clients_ = nullptr;
  QTreeWidget* sessions_ = nullptr;
  QPushButton* review_ = nullptr;
  QPushButton* thirdParty_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QLabel* prompt_ = nullptr;
  QPointer<CMainScreen> container_;
};

}  // namespace rc
