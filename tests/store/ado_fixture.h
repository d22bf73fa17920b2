#pragma once
// Shared helpers of the database tests: a temporary folder per test and the
// schema texts of the source tree.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/host_builder.h"

namespace rc::testing {

namespace fs = std::filesystem;

inline fs::path schemaDir() { return fs::path(RC_SOURCE_DIR) / "resources" / "schema"; }

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "rc-store-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    ASSERT_NE(::mkdtemp(buf.data()), nullptr);
    dir_ = buf.data();
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  fs::path path(const std::string& name) const { return dir_ / name; }

  static void writeBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static void writeText(const fs::path& p, const std::string& text) {
    writeBytes(p, std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  static std::vector<std::uint8_t> readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // Names of the entries of a folder, sorted.
  static std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static HostDbBuilder builder(HostDbKind kind) {
    auto b = HostDbBuilder::create(kind, schemaDir());
    EXPECT_TRUE(b.isOk()) << b.status().message();
    return std::move(b.value());
  }

  fs::path dir_;
};

// Open file descriptors of the process.
inline int openDescriptorCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

}  // namespace rc::testing
