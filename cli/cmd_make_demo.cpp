#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "cli/command.h"
#include "demo/demo_root.h"
#include "support/locale.h"
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
  if (args.size() != 1) return usageError("usage: make-demo DIR [--scale X] [--seed N] [--no-long]");
  const bool tty = ::isatty(2);
  auto start = std::chrono::steady_clock::now();
  o.progress = [&](const std::string& what) {
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (tty) std::fprintf(stderr, "\rmaking demo data: %-40s %6.1f s", what.c_str(), s);
    else std::fprintf(stderr, "making demo data: %s\n", what.c_str());
  };
  Status s = demo::makeDemoDataRoot(args[0], o);
  if (tty) std::fprintf(stderr, "\n");
  if (!s) return failure(s.message());
  std::printf("demo data root: %s\n", args[0].c_str());
  return 0;
}

const CommandRegistrar reg({"make-demo", "DIR [--scale X] [--seed N] [--no-long]",
                            "writes a complete, deterministic demo data root (databases, channel sets, a script, "
                            "session folders with recordings)",
                            run});

}  // namespace
}  // namespace rc::cli
