#pragma once
// The Qt side of the core's user-interface seam: message boxes with the
// application title as caption, Yes/No and OK/Cancel questions, text entry.
#include <QWidget>

#include "support/ui.h"

namespace rc {

class QtUserInterface : public UserInterface {
 public:
  explicit QtUserInterface(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  void showMessage(const Message& m, Icon icon) override;
  bool askYesNo(const Message& m, bool defaultYes, Icon icon) override;
  bool askOkCancel(const Message& m, Icon icon) override;
  std::optional<std::string> enterString(const Message& prompt, const std::string& initial) override;

 private:
  QWidget* parent_;
};

}  // namespace rc
