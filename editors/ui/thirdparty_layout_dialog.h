#pragma once
// The layout dialog of IBI text files from other software: the file, its
// header lines, columns, position and separator (with the enabling rules of
// CThirdPartyFileSettings), the layout of the values, and "Detect", which
// reads the file's first lines and shows what it proposes before anything is
// read.
#include <QDialog>
#include <filesystem>

#include "editors/thirdparty/file_layout.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace rc {

class ThirdPartyLayoutDialog : public QDialog {
  Q_OBJECT

 public:
  ThirdPartyLayoutDialog(const ThirdPartySettings& settings, UserInterface& ui, QWidget* parent = nullptr);

  const CThirdPartyFileSettings& model() const { return model_; }
  // The file typed or chosen in the dialog (empty when none).
  std::filesystem::path file() const;
  void setFile(const std::filesystem::path& file);

  // Reads the chosen file's first lines and applies the proposal (the Detect button).
  void detect();

  QPushButton* detectButton() const { return detect_; }
  QLabel* proposalLabel() const { return proposal_; }

 private:
  void browse();
  void sync();

  CThirdPartyFileSettings model_;
  UserInterface& ui_;
  bool syncing_ = false;
  QLineEdit* file_ = nullptr;
  QPushButton* detect_ = nullptr;
  QComboBox* kind_ = nullptr;
  QSpinBox* header_ = nullptr;
  QRadioButton* oneColumn_ = nullptr;
  QRadioButton* twoColumns_ = nullptr;
  QRadioButton* first_ = nullptr;
  QRadioButton* second_ = nullptr;
  QRadioButton* comma_ = nullptr;
  QRadioButton* tab_ = nullptr;
  QWidget* columnsBox_ = nullptr;
  QWidget* positionBox_ = nullptr;
  QWidget* separatorBox_ = nullptr;
  QLabel* proposal_ = nullptr;
};

}  // namespace rc
