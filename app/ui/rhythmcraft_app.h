#pragma once
// The application object: the language table, the data root, one running
// copy per data root (message 105), the locale's separators with the C
// library kept on "C" for numbers, and the main dialog run with the command
// line ("CLIENT SESSION" opens that session directly).
#include <memory>
#include <optional>
#include <string>

#include "app/main_dialog.h"

namespace rc {

class CRhythmcraftApp {
 public:
  explicit CRhythmcraftApp(UserInterface& ui) : ui_(ui) {}

  // The steps before the main dialog; nullopt to go on, else the exit code.
  std::optional<int> initInstance();
  // Runs the main dialog modally; the exit code.
  int run(const std::string& commandLine);

 private:
  UserInterface& ui_;
  std::unique_ptr<InstanceLock> lock_;
};

}  // namespace rc
