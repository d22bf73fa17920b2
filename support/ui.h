#pragma once
// The user-interface seam of the core: messages, questions and text entry.
// The Qt implementation lives in the application shell; tests use ScriptedUi.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "support/format.h"

namespace rc {

enum class Icon { Warning, Error, Information, Question };

// A message as the user sees it: the composed text, and the string ids it
// was built from (tests check both).
struct Message {
  std::vector<int> ids;
  std::string text;
  bool operator==(const Message&) const = default;
};

// Builds a message from language strings and fixed pieces of text, e.g.
// MessageBuilder().id(1052).text(": ").text(path).build().
class MessageBuilder {
 public:
  MessageBuilder& id(int stringId);                           // the string's text
  MessageBuilder& idArg(int stringId, const FormatArg& arg);  // string used as a one-argument format
  MessageBuilder& idArgs(int stringId, const FormatArg& a, const FormatArg& b);
  MessageBuilder& text(const std::string& s);
  Message build() const { return msg_; }
  operator Message() const { return msg_; }  // NOLINT

 private:
  Message msg_;
};

inline Message messageOf(int stringId) { return MessageBuilder().id(stringId).build(); }

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A message box with the application title (string 101) as caption.
  virtual void showMessage(const Message& m, Icon icon) = 0;
  // Yes/No question; returns true for Yes. defaultYes chooses the default button.
  virtual bool askYesNo(const Message& m, bool defaultYes, Icon icon = Icon::Question) = 0;
  // OK/Cancel question; returns true for OK.
  virtual bool askOkCancel(const Message& m, Icon icon = Icon::Question) = 0;
  // Asks for a line of text; nullopt when cancelled.
  virtual std::optional<std::string> enterString(const Message& prompt, const std::string& initial) = 0;
};

// A UserInterface that shows nothing and asks nobody: Yes/No questions take
// their default, OK/Cancel is cancelled, no text is entered (batch runs,
// benchmarks, fuzzing).
class SilentUi : public UserInterface {
 public:
  void showMessage(const Message&, Icon) override {}
  bool askYesNo(const Message&, bool defaultYes, Icon) override { return defaultYes; }
  bool askOkCancel(const Message&, Icon) override { return false; }
  std::optional<std::string> enterString(const Message&, const std::string&) override { return std::nullopt; }
};

// A UserInterface that records every call and answers from a script. When the
// script runs out, questions take their default (Yes/No), OK, or cancel.
class ScriptedUi : public UserInterface {
 public:
  enum class Kind { Message, YesNo, OkCancel, EnterString };
  struct Record {
    Kind kind;
    Message message;
    Icon icon;
    bool operator==(const Record&) const = default;
  };

  void showMessage(const Message& m, Icon icon) override;
  bool askYesNo(const Message& m, bool defaultYes, Icon icon) override;
  bool askOkCancel(const Message& m, Icon icon) override;
  std::optional<std::string> enterString(const Message& prompt, const std::string& initial) override;

  ScriptedUi& answer(bool yesOrOk) {
    answers_.push_back(yesOrOk);
    return *this;
  }
  ScriptedUi& answerText(std::optional<std::string> t) {
    texts_.push_back(std::move(t));
    return *this;
  }

  const std::vector<Record>& records() const { return records_; }
  // The string ids of every shown message or question, in order (first id of each).
  std::vector<int> firstIds() const;
  bool shown(int stringId) const;
  void clear() { records_.clear(); }

 private:
  std::vector<Record> records_;
  std::deque<bool> answers_;
  std::deque<std::optional<std::string>> texts_;
};

}  // namespace rc
