#include "editors/periodic/input_string.h"

#include <cmath>

#include "support/locale.h"

namespace rc {

Message CInputString::prompt() const {
  if (mode_ == Mode::ProposeHalf) return MessageBuilder().id(kSplitHalfPromptId).build();
  return MessageBuilder().idArg(kSplitPromptId, proposed_).build();
}

std::optional<double> CInputString::accept(const std::string& entry) const {
  bool blank = true;
  for (char c : entry)
    if (c != ' ' && c != '\t') blank = false;
  const std::optional<double> v = blank ? std::optional<double>(proposed_) : parseReal(entry);
  if (!v || !std::isfinite(*v) || *v <= 0.0 || *v >= whole_) return std::nullopt;
  return v;
}

std::optional<double> CInputString::run(UserInterface& ui) const {
  const Message p = prompt();
  for (;;) {
    const auto entry = ui.enterString(p, std::string());
    if (!entry) return std::nullopt;
    if (auto v = accept(*entry)) return v;
    ui.showMessage(messageOf(kSplitEntryRefusedId), Icon::Warning);
  }
}

}  // namespace rc
