#pragma once
// The entry of the first part of a Split (`CInputString`), through the
// user-interface seam's text entry. Its first mode proposes the part up to
// the cursor (prompt 242 with the proposal); its second mode proposes half
// the interval (prompt 477). An empty entry takes the proposal; an entry that
// is not a number strictly between 0 and the whole interval is refused with
// message 245 and asked for again. Cancel ends the entry.
#include <optional>

#include "support/ui.h"

namespace rc {

inline constexpr int kSplitPromptId = 242;
inline constexpr int kSplitCaptionId = 243;
inline constexpr int kSplitEntryRefusedId = 245;
inline constexpr int kSplitHalfPromptId = 477;

class CInputString {
 public:
  enum class Mode { ProposeCursorPart, ProposeHalf };

  CInputString(Mode mode, double proposedMs, double wholeMs) : mode_(mode), proposed_(proposedMs), whole_(wholeMs) {}

  // The first part in milliseconds, or nullopt when the user cancelled.
  std::optional<double> run(UserInterface& ui) const;

  // An entry's value: the proposal for an empty entry; nullopt when refused.
  std::optional<double> accept(const std::string& entry) const;

  Message prompt() const;

 private:
  Mode mode_;
  double proposed_;
  double whole_;
};

}  // namespace rc
