#pragma once
// Where the host's data lives: the data root (databases, "Channels",
// "Clients") and the folder of one recorded session.
#include <filesystem>
#include <optional>

namespace rc {

struct DataRoot {
  std::filesystem::path path;
  bool fellBack = false;  // true when the program folder had to serve
};

// Prepares the data root once at start-up: $RHYTHMCRAFT_DATA_ROOT when set,
// else "Quellmark/Solvane" under the XDG data home ($XDG_DATA_HOME, else
// ~/.local/share). Missing folders are created for the owner and group
// (0770 less the umask); existing folders keep their permissions and nothing
// is ever made world-writable. When the folders cannot be had, the program
// folder is the data root. Never fails.
DataRoot prepareDataRoot(const std::filesystem::path& programFolder);

// The data root the environment names, without creating anything:
// $RHYTHMCRAFT_DATA_ROOT when set, else "Quellmark/Solvane" under the XDG
// data home. nullopt when neither that nor $HOME is set.
std::optional<std::filesystem::path> defaultDataRootPath();

// The process-wide data root, fixed at start-up.
const std::filesystem::path& dataRoot();
void setDataRoot(const std::filesystem::path& root);

// <root>/Clients/<client>/Sess<session, at least four digits>.
std::filesystem::path sessionFolder(const std::filesystem::path& root, int clientId, int sessionId);

}  // namespace rc
