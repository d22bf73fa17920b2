#include "support/language.h"

#include "support/file_io.h"
#include "support/locale.h"

namespace rc {

namespace {
std::string unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      if (n == 'n') out += '\n';
      else if (n == 't') out += '\t';
      else if (n == 'r') out += '\r';
      else if (n == '\\') out += '\\';
      else {
        out += '\\';
        out += n;
      }
    } else {
      out += s[i];
    }
  }
  return out;
}
}  // namespace

std::size_t LanguageTable::parse(const std::string& text) {
  std::size_t count = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    auto id = parseInteger(line.substr(0, tab));
    if (!id || *id < 0 || *id > 0x7FFFFFFF) continue;
    strings_[static_cast<int>(*id)] = unescape(line.substr(tab + 1));
    ++count;
  }
  return count;
}

Status LanguageTable::loadFile(const std::filesystem::path& file) {
  auto bytes = readWholeFile(file);
  if (!bytes) return bytes.status();
  strings_.clear();
  parse(std::string(bytes->begin(), bytes->end()));
  if (strings_.empty()) return Status::error("the language table " + file.string() + " holds no strings");
  loaded_ = true;
  return Status::ok();
}

const std::string& LanguageTable::text(int id) const {
  static const std::string empty;
  auto it = strings_.find(id);
  return it == strings_.end() ? empty : it->second;
}

LanguageTable& language() {
  static LanguageTable table;
  return table;
}

Status loadLanguage(const std::filesystem::path& programFolder) {
  return language().loadFile(programFolder / kLanguageFileName);
}

const std::string& str(int id) { return language().text(id); }

std::string strArg(int id, const FormatArg& arg) { return substituteArg(str(id), arg); }

}  // namespace rc
