#include <algorithm>
#include <clocale>
#include <cstdio>

#include "cli/command.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/paths.h"

namespace rc::cli {

std::vector<Command>& commands() {
  static std::vector<Command> list;
  return list;
}

int usageError(const std::string& text) {
  std::fprintf(stderr, "rhythmcraft-cli: %s\n", text.c_str());
  return 2;
}

int failure(const std::string& text) {
  std::fprintf(stderr, "rhythmcraft-cli: %s\n", text.c_str());
  return 1;
}

bool takeFlag(std::vector<std::string>& args, const std::string& flag) {
  auto it = std::find(args.begin(), args.end(), flag);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

bool takeOption(std::vector<std::string>& args, const std::string& name, std::string& value) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name && i + 1 < args.size()) {
      value = args[i + 1];
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      return true;
    }
    if (args[i].rfind(name + "=", 0) == 0) {
      value = args[i].substr(name.size() + 1);
      args.erase(args.begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

}  // namespace rc::cli

namespace {
void printHelp() {
  std::printf("usage: rhythmcraft-cli COMMAND [ARGS]\n"
              "       rhythmcraft-cli COMMAND --help   (the command's options)\n\ncommands:\n");
  auto list = rc::cli::commands();
  std::sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.name < b.name; });
  for (const auto& c : list) {
    std::printf("  %s %s\n      %s\n", c.name.c_str(), c.usage.c_str(), c.summary.c_str());
  }
}
}  // namespace

int main(int argc, char** argv) {
  // Numbers the tool prints are for scripts: always "." whatever the locale.
  rc::setLocaleSeparators(rc::readUserLocaleSeparators());
  std::setlocale(LC_NUMERIC, "C");
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string programDir;
  if (rc::cli::takeOption(args, "--program-dir", programDir)) rc::setProgramFolder(programDir);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || (args[0] == "help" && args.size() == 1)) {
    printHelp();
    return args.empty() ? 2 : 0;
  }
  if (!rc::loadLanguage(rc::programFolder())) {
    std::fprintf(stderr, "%s\n", rc::kBuiltinString1);
    return 1;
  }
  // "help COMMAND" is "COMMAND --help".
  if (args[0] == "help" && args.size() == 2) args = {args[1], "--help"};
  for (const auto& c : rc::cli::commands()) {
    if (c.name == args[0]) {
      std::vector<std::string> rest(args.begin() + 1, args.end());
      const bool help = std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
                        (rest.size() == 1 && rest[0] == "-h");
      if (help) {
        std::fputs(rc::cli::commandHelp(c).c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
      }
      return c.run(rest);
    }
  }
  return rc::cli::usageError("unknown command '" + args[0] + "' (try --help)");
}
