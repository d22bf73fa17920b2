#pragma once
// The command registry of rhythmcraft-cli: each command lives in its own
// source file and registers itself with a static CommandRegistrar.
//
// Rules every command follows (the helpers below make them one call each):
// - exit status 0 only when everything asked for was done in full; 1 when
//   something failed or a requested table could not be fully computed
//   (the reason on stderr); 2 for a usage error;
// - the data root comes from takeDataRoot: --data-root DIR, else
//   $RHYTHMCRAFT_DATA_ROOT, else the XDG default;
// - a message that names a file has a blank before the path.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/ui.h"

namespace rc::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // failed, or a result is incomplete
inline constexpr int kExitUsage = 2;

struct Command {
  std::string name;
  std::string usage;    // one line: arguments after the command name
  std::string summary;  // one line: what it does
  int (*run)(const std::vector<std::string>& args);  // args after the command name
  // The full text of "rhythmcraft-cli NAME --help": what each option does.
  // Optional: a command without it prints its usage line and summary.
  std::string help = {};
};

std::vector<Command>& commands();

struct CommandRegistrar {
  explicit CommandRegistrar(Command c) { commands().push_back(std::move(c)); }
};

// Prints "rhythmcraft-cli: <text>" to stderr and returns 2 (usage) or 1.
int usageError(const std::string& text);
int failure(const std::string& text);
// "rhythmcraft-cli: <path>: <reason>" to stderr, returns 1.
int fileFailure(const std::filesystem::path& path, const std::string& reason);

// The help text of a command: its usage line, summary and option text.
std::string commandHelp(const Command& c);

// Option helpers: "--name value" pairs and flags among args.
bool takeFlag(std::vector<std::string>& args, const std::string& flag);
bool takeOption(std::vector<std::string>& args, const std::string& name, std::string& value);

// The data root of a command: "--data-root DIR" when given, else
// $RHYTHMCRAFT_DATA_ROOT, else "$XDG_DATA_HOME/Quellmark/Solvane" (the XDG
// data home defaulting to ~/.local/share). nullopt, with error set, when no
// root can be named.
std::optional<std::filesystem::path> takeDataRoot(std::vector<std::string>& args, std::string& error);
// The option text of --data-root for a command's help.
extern const char* const kDataRootHelp;

// The user interface of a command: messages and questions go to stderr,
// questions take their default answer (a question that defaults to No, such
// as replacing a file that may hold edits, is answered No). Counts the
// warnings and errors shown, so the command can fail when one was.
class ConsoleUi : public UserInterface {
 public:
  void showMessage(const Message& m, Icon icon) override;
  bool askYesNo(const Message& m, bool defaultYes, Icon icon) override;
  bool askOkCancel(const Message& m, Icon icon) override;
  std::optional<std::string> enterString(const Message&, const std::string&) override { return std::nullopt; }
  int problemsShown() const { return problems_; }

 private:
  int problems_ = 0;
};

// Writes text to stdout and flushes; false (after a message) when it could not.
bool writeOut(const std::string& text);

}  // namespace rc::cli
