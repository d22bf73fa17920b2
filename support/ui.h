#pragma once
// The user-interface seam of the core: messages, questions and text entry.
// The Qt implementation lives in the application shell; tests use ScriptedUi.
#include <cstdint>
#include <deque>
#include <filesystem>
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

// A file dialog: filters are pairs of a label and a pattern list ("*.txt *.csv").
struct FileDialogRequest {
  bool save = false;
  std::string title;
  std::filesystem::path folder;  // the folder shown first
  std::string fileName;          // the name proposed
  std::vector<std::pair<std::string, std::string>> filters;
  std::string defaultSuffix;  // added to a typed name without one ("txt")
  bool overwritePrompt = true;
  std::size_t selectedFilter = 0;  // the filter shown first
  bool operator==(const FileDialogRequest&) const = default;
};

// A choice of one option among several (radio buttons) with OK and Cancel.
struct ChoiceRequest {
  Message caption;
  Message text;
  Message label;  // above the options
  std::vector<Message> options;
  int initial = 0;
  bool operator==(const ChoiceRequest&) const = default;
};

// What the desktop did with a document it was asked to open.
enum class OpenResult { Opened, NoApplication, NotFound, Failed };

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

  // A file dialog (open or save); nullopt when cancelled. A save dialog with
  // overwritePrompt asks before an existing file is chosen.
  virtual std::optional<std::filesystem::path> chooseFile(const FileDialogRequest& request) {
    (void)request;
    return std::nullopt;
  }

  // Shows a document with the desktop's default application ("open" verb).
  virtual OpenResult openDocument(const std::filesystem::path& file) {
    (void)file;
    return OpenResult::NoApplication;
  }

  // One option of a choice dialog (0-based); nullopt when cancelled.
  virtual std::optional<int> chooseOption(const ChoiceRequest& request) {
    (void)request;
    return std::nullopt;
  }

  // Long work: begin, then report done of total as it goes, then end. A
  // report returns false when the user asked to cancel.
  virtual void beginProgress(const std::string& label, std::int64_t total) {
    (void)label;
    (void)total;
  }
  virtual bool reportProgress(std::int64_t done) {
    (void)done;
    return true;
  }
  virtual void endProgress() {}
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
  enum class Kind { Message, YesNo, OkCancel, EnterString, ChooseFile, OpenDocument, Choice };
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
  // File dialogs take the scripted files in order (cancelled when none is
  // left); documents "open" with the scripted results (Opened when none).
  std::optional<std::filesystem::path> chooseFile(const FileDialogRequest& request) override;
  OpenResult openDocument(const std::filesystem::path& file) override;
  // Choices take the scripted options in order (cancelled when none is left);
  // the record holds the request's text.
  std::optional<int> chooseOption(const ChoiceRequest& request) override;

  ScriptedUi& answerChoice(std::optional<int> option) {
    choices_.push_back(option);
    return *this;
  }
  const std::vector<ChoiceRequest>& choiceRequests() const { return choiceRequests_; }

  ScriptedUi& answerFile(std::optional<std::filesystem::path> f) {
    files_.push_back(std::move(f));
    return *this;
  }
  ScriptedUi& answerOpen(OpenResult r) {
    opens_.push_back(r);
    return *this;
  }
  // The requests of every file dialog and the documents opened, in order.
  const std::vector<FileDialogRequest>& fileRequests() const { return fileRequests_; }
  const std::vector<std::filesystem::path>& openedDocuments() const { return opened_; }

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
  std::deque<std::optional<std::filesystem::path>> files_;
  std::deque<OpenResult> opens_;
  std::deque<std::optional<int>> choices_;
  std::vector<ChoiceRequest> choiceRequests_;
  std::vector<FileDialogRequest> fileRequests_;
  std::vector<std::filesystem::path> opened_;
};

}  // namespace rc
