#pragma once
// The text export files: one line writer that turns "\n" into "\r\n" and
// converts the line to the export code page, the byte order mark, and the
// process-wide export settings (code page and header flag).
//
// Code pages: 0 is the ANSI code page of the host side's peers, Windows-1252;
// 65001 UTF-8, 1200 UTF-16LE, 1201 UTF-16BE; any other number goes through
// iconv as "CP<n>" when the C library knows it, and falls back to 0 when it
// does not. Characters the target lacks become "?".
//
// Every export file is written to a temporary file beside its target and
// renamed over it only after the last line and a successful flush, so a
// failed export never leaves a cut file in place of a good one.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/file_io.h"
#include "support/status.h"
#include "support/ui.h"

namespace rc {

inline constexpr std::int32_t kCodePageAnsi = 0;
inline constexpr std::int32_t kCodePageUtf8 = 65001;
inline constexpr std::int32_t kCodePageUtf16Le = 1200;
inline constexpr std::int32_t kCodePageUtf16Be = 1201;

inline constexpr int kCannotCreateId = 189;  // followed by a blank and the path

// Whether the code page can be written: 0, 65001, 1200, 1201, or a number
// iconv knows as "CP<n>".
bool codePageSupported(std::int32_t codePage);
// The code page actually used for a requested one (unsupported -> 0).
std::int32_t effectiveCodePage(std::int32_t codePage);

// The bytes of one export line in the code page: every "\n" becomes "\r\n".
std::vector<std::uint8_t> encodeExportLine(std::u16string_view line, std::int32_t codePage);
// The byte order mark of the code page (empty for code pages without one).
std::vector<std::uint8_t> byteOrderMark(std::int32_t codePage);

// The process-wide export settings: the code page (start value "TextFormat")
// and the header flag (start value "Header"). Setting an unsupported code
// page stores 0.
std::int32_t exportCodePage();
void setExportCodePage(std::int32_t codePage);
bool exportHeaderFlag();
void setExportHeaderFlag(bool header);

// One export file, written atomically. Lines are UTF-16 (or UTF-8, converted).
class ExportFile {
 public:
  explicit ExportFile(std::int32_t codePage = exportCodePage()) : codePage_(effectiveCodePage(codePage)) {}

  Status open(const std::filesystem::path& path);
  bool isOpen() const { return open_; }
  const std::filesystem::path& path() const { return path_; }
  std::int32_t codePage() const { return codePage_; }

  void WriteExportLine(std::u16string_view line);
  void WriteExportLine(std::string_view utf8Line);
  void WriteByteOrderMark();

  // Flushes and renames the file into place; a failed write or flush fails
  // here and leaves the earlier file (if any) as it was.
  Status close();
  // Drops the temporary file; the target stays as it was.
  void abandon();

 private:
  AtomicWriter writer_;
  std::filesystem::path path_;
  std::int32_t codePage_ = 0;
  bool open_ = false;
};

// Message 189, a blank and the path, with a warning icon.
void showCannotCreate(UserInterface& ui, const std::filesystem::path& path);

}  // namespace rc
