#pragma once
// A complete demo data root, as a host recording suite would leave it: the
// main database, channel sets, a script, the module database and session
// folders with realistic recordings. Deterministic for a given seed.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "support/status.h"

namespace rc::demo {

struct DemoOptions {
  std::uint64_t seed = 20261206;
  // Scales every session's length (tests use short sessions); 1 is the full demo.
  double timeScale = 1.0;
  // Leave out the two-hour session (it is only there for speed measurements).
  bool skipLongSession = false;
  // Where the encoder unit file goes when it is missing (the program folder).
  std::filesystem::path programFolder;
  // Called with a short text for each step of the work.
  std::function<void(const std::string&)> progress;
};

// The sessions of the demo root (client id, session id), for tests and tools.
struct DemoSessionId {
  int client;
  int session;
  const char* what;
};
inline constexpr DemoSessionId kDemoShortOpen{1, 1, "5-minute open session"};
inline constexpr DemoSessionId kDemoMediumOpen{1, 2, "30-minute open session with paced breathing"};
inline constexpr DemoSessionId kDemoScripted{1, 3, "20-minute scripted session"};
inline constexpr DemoSessionId kDemoLongOpen{2, 1, "2-hour open session"};
inline constexpr DemoSessionId kDemoMultiChannel{3, 1, "open session with two EKG, two SC and two EMG channels"};
inline constexpr DemoSessionId kDemoArchived{4, 1, "session of an archived client"};

Status makeDemoDataRoot(const std::filesystem::path& root, const DemoOptions& options);

}  // namespace rc::demo
