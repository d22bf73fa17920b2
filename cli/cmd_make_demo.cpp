#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "cli/command.h"
#include "demo/demo_root.h"
#include "support/locale.h"
#include "support/format.h"
#include "support/paths.h"

namespace rc::cli {
namespace {

int run(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  demo::DemoOptions o;
  o.programFolder = programFolder();
  std::string value;
  if (takeOption(args, "--scale", value)) {
    auto v = parseReal(value);
    if (!v || !(*v > 0.0) || *v > 10.0) return usageError("--scale takes a number above 0 and at most 10");
    o.timeScale = *v;
  }
  if (takeOption(args, "--seed", value)) {
    auto v = parseInteger(value);
    if (!v || *v < 0) return usageError("--seed takes a non-negative integer");
    o.seed = static_cast<std::uint64_t>(*v);
  }
  o.skipLongSession = takeFlag(args, "--no-long");
  std::string error;
  std::optional<std::filesystem::path> root = takeDataRoot(args, error);
  if (args.size() == 1) {
    root = args[0];
  } else if (!args.empty()) {
    return usageError("usage: make-demo [DIR | --data-root DIR] [--scale X] [--seed N] [--no-long]");
  }
  if (!root) return usageError(error);
  const bool tty = ::isatty(2);
  auto start = std::chrono::steady_clock::now();
  o.progress = [&](const std::string& what) {
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (tty) std::fprintf(stderr, "\rmaking demo data: %-40s %6.1f s", what.c_str(), s);
    else std::fprintf(stderr, "making demo data: %s\n", what.c_str());
  };
  Status s = demo::makeDemoDataRoot(*root, o);
  if (tty) std::fprintf(stderr, "\n");
  if (!s) return failure(s.message());
  std::printf("demo data root: %s\n", root->c_str());
  return std::fflush(stdout) == 0 ? kExitOk : failure("cannot write the output");
}

constexpr const char* kHelp =
    "options:\n"
    "  DIR               the data root to write; default as --data-root below\n"
    "%s"
    "  --scale X         time scale of the sessions, above 0 and at most 10 (default 1)\n"
    "  --seed N          seed of the synthetic physiology (a non-negative integer)\n"
    "  --no-long         leave out the long session\n"
    "\n"
    "Writing over an earlier demo root replaces its recordings and removes the series files,\n"
    "events and rejected stretches of the old ones, so nothing of the old recordings is analysed.\n";

const CommandRegistrar reg({"make-demo", "[DIR] [--scale X] [--seed N] [--no-long]",
                            "writes a complete, deterministic demo data root (databases, channel sets, a script, "
                            "session folders with recordings)",
                            run, strprintf(kHelp, kDataRootHelp)});

}  // namespace
}  // namespace rc::cli
