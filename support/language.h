#pragma once
// The language table: every user-visible text by numeric string id. The table
// is a UTF-8 text file in the program folder ("rhythmcraft.lang"), one entry a
// line: the id, a tab, the text; "\n", "\t" and "\\" are escapes; lines
// starting with "#" are comments. Loaded once at start-up.
#include <filesystem>
#include <string>
#include <unordered_map>

#include "support/format.h"
#include "support/status.h"

namespace rc {

inline constexpr const char* kLanguageFileName = "rhythmcraft.lang";
// Shown, with an empty caption, when the table cannot be loaded.
inline constexpr const char* kBuiltinString1 = "Failed to load string from resource dll.";
inline constexpr int kAppTitleId = 101;

class LanguageTable {
 public:
  // Parses table text; malformed lines are skipped. Returns the number of entries.
  std::size_t parse(const std::string& text);
  Status loadFile(const std::filesystem::path& file);
  bool loaded() const { return loaded_; }
  // The text of id, or the empty text when the table lacks it.
  const std::string& text(int id) const;
  std::size_t size() const { return strings_.size(); }
  void set(int id, std::string text) { strings_[id] = std::move(text); }
  void clear() {
    strings_.clear();
    loaded_ = false;
  }

 private:
  std::unordered_map<int, std::string> strings_;
  bool loaded_ = false;
};

// The process-wide table.
LanguageTable& language();

// Loads "rhythmcraft.lang" from the program folder into the process-wide table.
Status loadLanguage(const std::filesystem::path& programFolder);

// Shortcuts on the process-wide table.
const std::string& str(int id);
std::string strArg(int id, const FormatArg& arg);  // safe one-argument substitution

}  // namespace rc
