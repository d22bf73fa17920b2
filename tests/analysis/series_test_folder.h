#pragma once
// A fresh temporary folder per test, removed with everything in it afterwards.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rc::testing {

class SeriesTempFolder {
 public:
  SeriesTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rc_series_XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~SeriesTempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  SeriesTempFolder(const SeriesTempFolder&) = delete;
  SeriesTempFolder& operator=(const SeriesTempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::vector<std::uint8_t> fileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void putBytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace rc::testing
