#include "support/ui/qt_user_interface.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QProgressDialog>
#include <QUrl>

#include "support/language.h"

namespace rc {

namespace {
QMessageBox::Icon toQt(Icon icon) {
  switch (icon) {
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QString caption() { return QString::fromStdString(str(kAppTitleId)); }
}  // namespace

QtUserInterface::QtUserInterface(QWidget* parent) : parent_(parent) {}
QtUserInterface::~QtUserInterface() = default;

void QtUserInterface::showMessage(const Message& m, Icon icon) {
  QMessageBox box(toQt(icon), caption(), QString::fromStdString(m.text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtUserInterface::askYesNo(const Message& m, bool defaultYes, Icon icon) {
  QMessageBox box(toQt(icon), caption(), QString::fromStdString(m.text), QMessageBox::Yes | QMessageBox::No,
                  parent_);
  box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool QtUserInterface::askOkCancel(const Message& m, Icon icon) {
  QMessageBox box(toQt(icon), caption(), QString::fromStdString(m.text), QMessageBox::Ok | QMessageBox::Cancel,
                  parent_);
  return box.exec() == QMessageBox::Ok;
}

std::optional<std::string> QtUserInterface::enterString(const Message& prompt, const std::string& initial) {
  bool ok = false;
  QString text = QInputDialog::getText(parent_, caption(), QString::fromStdString(prompt.text), QLineEdit::Normal,
                                       QString::fromStdString(initial), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

std::optional<int> QtUserInterface::chooseOption(const ChoiceRequest& request) {
  QDialog dialog(parent_);
  dialog.setWindowTitle(QString::fromStdString(request.caption.text.empty() ? str(kAppTitleId) : request.caption.text));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(QString::fromStdString(request.text.text), &dialog);
  text->setWordWrap(true);
  layout->addWidget(text);
  if (!request.label.text.empty()) layout->addWidget(new QLabel(QString::fromStdString(request.label.text), &dialog));
  QButtonGroup group(&dialog);
  for (std::size_t i = 0; i < request.options.size(); ++i) {
    auto* b = new QRadioButton(QString::fromStdString(request.options[i].text), &dialog);
    group.addButton(b, static_cast<int>(i));
    b->setChecked(static_cast<int>(i) == request.initial);
    layout->addWidget(b);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted || group.checkedId() < 0) return std::nullopt;
  return group.checkedId();
}

std::optional<std::filesystem::path> QtUserInterface::chooseFile(const FileDialogRequest& request) {
  QStringList filters;
  for (const auto& [label, patterns] : request.filters)
    filters << QString::fromStdString(label + " (" + patterns + ")");
  QFileDialog dialog(parent_, QString::fromStdString(request.title), QString::fromStdString(request.folder.string()));
  dialog.setNameFilters(filters);
  if (request.selectedFilter < static_cast<std::size_t>(filters.size()))
    dialog.selectNameFilter(filters[static_cast<qsizetype>(request.selectedFilter)]);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!request.defaultSuffix.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
  if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

OpenResult QtUserInterface::openDocument(const std::filesystem::path& file) {
  QFileInfo info(QString::fromStdString(file.string()));
  if (!info.exists()) return OpenResult::NotFound;
  // xdg-open reports success even when nothing handles the type; ask the
  // desktop's MIME database for a default application first where it can.
  QString mime = QMimeDatabase().mimeTypeForFile(info).name();
  QProcess query;
  query.start("xdg-mime", {"query", "default", mime});
  if (query.waitForFinished(3000) && query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
      query.readAllStandardOutput().trimmed().isEmpty())
    return OpenResult::NoApplication;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())) ? OpenResult::Opened
                                                                                 : OpenResult::NoApplication;
}

void QtUserInterface::beginProgress(const std::string& label, std::int64_t total) {
  progressTotal_ = total > 0 ? total : 0;
  progress_ = std::make_unique<QProgressDialog>(QString::fromStdString(label), QString::fromStdString(str(2)),
                                                0, 1000, parent_);
  progress_->setWindowTitle(caption());
  progress_->setWindowModality(Qt::WindowModal);
  progress_->setMinimumDuration(300);
  progress_->setValue(0);
}

bool QtUserInterface::reportProgress(std::int64_t done) {
  if (!progress_) return true;
  int value = progressTotal_ > 0 ? static_cast<int>(1000 * std::min(done, progressTotal_) / progressTotal_) : 0;
  progress_->setValue(value);
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return !progress_->wasCanceled();
}

void QtUserInterface::endProgress() { progress_.reset(); }

}  // namespace rc
