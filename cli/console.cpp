// Helpers shared by the commands: messages, the data root, the console user
// interface and the help texts.
#include <cstdlib>

#include "cli/command.h"
#include "store/data_root.h"

namespace rc::cli {

const char* const kDataRootHelp =
    "  --data-root DIR   the host's data root (databases, Channels, Clients); default\n"
    "                    $RHYTHMCRAFT_DATA_ROOT, else $XDG_DATA_HOME/Quellmark/Solvane\n"
    "                    (~/.local/share/Quellmark/Solvane without XDG_DATA_HOME)\n";

int fileFailure(const std::filesystem::path& path, const std::string& reason) {
  return failure(path.string() + ": " + reason);
}

std::string commandHelp(const Command& c) {
  std::string out = "usage: rhythmcraft-cli " + c.name + (c.usage.empty() ? "" : " " + c.usage) + "\n\n" +
                    c.summary + "\n";
  if (!c.help.empty()) out += "\n" + c.help + (c.help.back() == '\n' ? "" : "\n");
  return out;
}

std::optional<std::filesystem::path> takeDataRoot(std::vector<std::string>& args, std::string& error) {
  std::string value;
  if (takeOption(args, "--data-root", value)) {
    if (value.empty()) {
      error = "--data-root takes a folder";
      return std::nullopt;
    }
    return std::filesystem::path(value);
  }
  if (auto root = defaultDataRootPath()) return root;
  error = "no data root: give --data-root DIR or set RHYTHMCRAFT_DATA_ROOT";
  return std::nullopt;
}

void ConsoleUi::showMessage(const Message& m, Icon icon) {
  if (icon == Icon::Warning || icon == Icon::Error) ++problems_;
  std::fprintf(stderr, "rhythmcraft-cli: %s\n", m.text.c_str());
}

bool ConsoleUi::askYesNo(const Message& m, bool defaultYes, Icon) {
  std::fprintf(stderr, "rhythmcraft-cli: %s %s\n", m.text.c_str(), defaultYes ? "Yes" : "No");
  return defaultYes;
}

bool ConsoleUi::askOkCancel(const Message& m, Icon) {
  std::fprintf(stderr, "rhythmcraft-cli: %s Cancel\n", m.text.c_str());
  return false;
}

bool writeOut(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) return true;
  failure("the output could not be written");
  return false;
}

}  // namespace rc::cli
