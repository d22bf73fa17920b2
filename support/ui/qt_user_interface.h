#pragma once
// The Qt side of the core's user-interface seam: message boxes with the
// application title as caption, Yes/No and OK/Cancel questions, text entry,
// file dialogs, documents shown with the desktop's default application and a
// progress dialog for long work.
#include <QProgressDialog>
#include <QWidget>
#include <memory>

#include "support/ui.h"

namespace rc {

class QtUserInterface : public UserInterface {
 public:
  explicit QtUserInterface(QWidget* parent = nullptr);
  ~QtUserInterface() override;
  void setParent(QWidget* parent) { parent_ = parent; }

  void showMessage(const Message& m, Icon icon) override;
  bool askYesNo(const Message& m, bool defaultYes, Icon icon) override;
  bool askOkCancel(const Message& m, Icon icon) override;
  std::optional<std::string> enterString(const Message& prompt, const std::string& initial) override;
  std::optional<std::filesystem::path> chooseFile(const FileDialogRequest& request) override;
  OpenResult openDocument(const std::filesystem::path& file) override;
  std::optional<int> chooseOption(const ChoiceRequest& request) override;
  void beginProgress(const std::string& label, std::int64_t total) override;
  bool reportProgress(std::int64_t done) override;
  void endProgress() override;

 private:
  QWidget* parent_;
  std::unique_ptr<QProgressDialog> progress_;
  std::int64_t progressTotal_ = 0;
};

}  // namespace rc
