#include "support/ui.h"

#include <algorithm>

#include "support/language.h"

namespace rc {

MessageBuilder& MessageBuilder::id(int stringId) {
  msg_.ids.push_back(stringId);
  msg_.text += str(stringId);
  return *this;
}

MessageBuilder& MessageBuilder::idArg(int stringId, const FormatArg& arg) {
  msg_.ids.push_back(stringId);
  msg_.text += substituteArg(str(stringId), arg);
  return *this;
}

MessageBuilder& MessageBuilder::idArgs(int stringId, const FormatArg& a, const FormatArg& b) {
  msg_.ids.push_back(stringId);
  msg_.text += substituteArgs(str(stringId), a, b);
  return *this;
}

MessageBuilder& MessageBuilder::text(const std::string& s) {
  msg_.text += s;
  return *this;
}

void ScriptedUi::showMessage(const Message& m, Icon icon) {
  records_.push_back({Kind::Message, m, icon});
}

bool ScriptedUi::askYesNo(const Message& m, bool defaultYes, Icon icon) {
  records_.push_back({Kind::YesNo, m, icon});
  if (answers_.empty()) return defaultYes;
  bool a = answers_.front();
  answers_.pop_front();
  return a;
}

bool ScriptedUi::askOkCancel(const Message& m, Icon icon) {
  records_.push_back({Kind::OkCancel, m, icon});
  if (answers_.empty()) return true;
  bool a = answers_.front();
  answers_.pop_front();
  return a;
}

std::optional<std::string> ScriptedUi::enterString(const Message& prompt, const std::string& initial) {
  records_.push_back({Kind::EnterString, prompt, Icon::Question});
  if (texts_.empty()) return std::nullopt;
  auto t = texts_.front();
  texts_.pop_front();
  (void)initial;
  return t;
}

std::optional<std::filesystem::path> ScriptedUi::chooseFile(const FileDialogRequest& request) {
  records_.push_back({Kind::ChooseFile, MessageBuilder().text(request.title).build(), Icon::Question});
  fileRequests_.push_back(request);
  if (files_.empty()) return std::nullopt;
  auto f = files_.front();
  files_.pop_front();
  return f;
}

OpenResult ScriptedUi::openDocument(const std::filesystem::path& file) {
  records_.push_back({Kind::OpenDocument, MessageBuilder().text(file.string()).build(), Icon::Information});
  opened_.push_back(file);
  if (opens_.empty()) return OpenResult::Opened;
  OpenResult r = opens_.front();
  opens_.pop_front();
  return r;
}

std::optional<int> ScriptedUi::chooseOption(const ChoiceRequest& request) {
  records_.push_back({Kind::Choice, request.text, Icon::Question});
  choiceRequests_.push_back(request);
  if (choices_.empty()) return std::nullopt;
  auto c = choices_.front();
  choices_.pop_front();
  return c;
}

std::vector<int> ScriptedUi::firstIds() const {
  std::vector<int> ids;
  for (const auto& r : records_) ids.push_back(r.message.ids.empty() ? 0 : r.message.ids.front());
  return ids;
}

bool ScriptedUi::shown(int stringId) const {
  return std::any_of(records_.begin(), records_.end(), [&](const Record& r) {
    return std::find(r.message.ids.begin(), r.message.ids.end(), stringId) != r.message.ids.end();
  });
}

}  // namespace rc
