#pragma once
// The command registry of rhythmcraft-cli: each command lives in its own
// source file and registers itself with a static CommandRegistrar.
#include <string>
#include <vector>

namespace rc::cli {

struct Command {
  std::string name;
  std::string usage;    // one line: arguments after the command name
  std::string summary;  // one line: what it does
  int (*run)(const std::vector<std::string>& args);  // args after the command name
};

std::vector<Command>& commands();

struct CommandRegistrar {
  explicit CommandRegistrar(Command c) { commands().push_back(std::move(c)); }
};

// Prints "rhythmcraft-cli: <text>" to stderr and returns 2 (usage) or 1.
int usageError(const std::string& text);
int failure(const std::string& text);

// Option helpers: "--name value" pairs and flags among args.
bool takeFlag(std::vector<std::string>& args, const std::string& flag);
bool takeOption(std::vector<std::string>& args, const std::string& name, std::string& value);

}  // namespace rc::cli
