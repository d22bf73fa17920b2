#include "reports/exports/export_text.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>

#include "support/format.h"
#include "support/utf.h"

namespace rc {
namespace {

std::atomic<std::int32_t> gCodePage{0};
std::atomic<bool> gHeader{false};

bool isDirect(std::int32_t cp) {
  return cp == kCodePageAnsi || cp == kCodePageUtf8 || cp == kCodePageUtf16Le || cp == kCodePageUtf16Be;
}

std::string iconvName(std::int32_t cp) { return strprintf("CP%d", static_cast<int>(cp)); }

// One iconv descriptor per code page, opened once and shared under a lock.
class IconvCache {
 public:
  ~IconvCache() {
    for (auto& [cp, cd] : open_)
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  bool known(std::int32_t cp) {
    std::lock_guard lock(mutex_);
    return get(cp) != reinterpret_cast<iconv_t>(-1);
  }
  // Converts UTF-16LE code units; characters the target lacks become "?".
  void convert(std::int32_t cp, std::u16string_view text, std::vector<std::uint8_t>& out) {
    std::lock_guard lock(mutex_);
    iconv_t cd = get(cp);
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    std::vector<char> in(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
      in[2 * i] = static_cast<char>(text[i] & 0xFF);
      in[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    char* src = in.data();
    std::size_t left = in.size();
    std::array<char, 256> buf{};
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (left > 0) {
      char* dst = buf.data();
      std::size_t room = buf.size();
      const std::size_t r = iconv(cd, &src, &left, &dst, &room);
      out.insert(out.end(), buf.begin(), buf.begin() + (dst - buf.data()));
      if (r != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // An unconvertible or cut character: one replacement, then the next unit
      // (a surrogate pair is skipped whole).
      out.push_back('?');
      const std::size_t skip =
          left >= 4 && (static_cast<unsigned char>(src[1]) & 0xFC) == 0xD8 ? 4 : std::min<std::size_t>(2, left);
      src += skip;
      left -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buf.data();
    std::size_t room = buf.size();
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.insert(out.end(), buf.begin(), buf.begin() + (dst - buf.data()));
  }

 private:
  iconv_t get(std::int32_t cp) {
    auto it = open_.find(cp);
    if (it != open_.end()) return it->second;
    iconv_t cd = iconv_open(iconvName(cp).c_str(), "UTF-16LE");
    open_.emplace(cp, cd);
    return cd;
  }
  std::mutex mutex_;
  std::map<std::int32_t, iconv_t> open_;
};

IconvCache& iconvCache() {
  static IconvCache cache;
  return cache;
}

// Windows-1252 byte of a code unit, or "?" when the code page lacks it.
std::uint8_t toCp1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
  for (unsigned b = 0x80; b <= 0x9F; ++b)
    if (fromCp1252(static_cast<unsigned char>(b)) == c) return static_cast<std::uint8_t>(b);
  return '?';
}

bool allAscii(std::u16string_view s) {
  for (char16_t c : s)
    if (c >= 0x80) return false;
  return true;
}

void encodeInto(std::u16string_view line, std::int32_t cp, std::vector<std::uint8_t>& out) {
  std::u16string text;
  text.reserve(line.size() + 4);
  for (char16_t c : line) {
    if (c == u'\n') text += u'\r';
    text += c;
  }
  switch (cp) {
    case kCodePageUtf16Le:
      for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
      }
      return;
    case kCodePageUtf16Be:
      for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c >> 8));
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
      }
      return;
    case kCodePageUtf8:
      if (allAscii(text)) {
        out.insert(out.end(), text.begin(), text.end());
      } else {
        const std::string u = toUtf8(text);
        out.insert(out.end(), u.begin(), u.end());
      }
      return;
    case kCodePageAnsi:
      for (char16_t c : text) out.push_back(toCp1252(c));
      return;
    default:
      iconvCache().convert(cp, text, out);
      return;
  }
}

}  // namespace

bool codePageSupported(std::int32_t codePage) {
  return isDirect(codePage) || (codePage > 0 && iconvCache().known(codePage));
}

std::int32_t effectiveCodePage(std::int32_t codePage) {
  return codePageSupported(codePage) ? codePage : kCodePageAnsi;
}

std::vector<std::uint8_t> encodeExportLine(std::u16string_view line, std::int32_t codePage) {
  std::vector<std::uint8_t> out;
  encodeInto(line, effectiveCodePage(codePage), out);
  return out;
}

std::vector<std::uint8_t> byteOrderMark(std::int32_t codePage) {
  const std::int32_t cp = effectiveCodePage(codePage);
  if (cp != kCodePageUtf8 && cp != kCodePageUtf16Le && cp != kCodePageUtf16Be) return {};
  return encodeExportLine(u"\uFEFF", cp);
}

std::int32_t exportCodePage() { return gCodePage.load(); }
void setExportCodePage(std::int32_t codePage) { gCodePage.store(effectiveCodePage(codePage)); }
bool exportHeaderFlag() { return gHeader.load(); }
void setExportHeaderFlag(bool header) { gHeader.store(header); }

Status ExportFile::open(const std::filesystem::path& path) {
  path_ = path;
  Status st = writer_.open(path);
  writer_.setSync(false);  // written again in a moment if ever lost; the rename keeps it whole
  open_ = static_cast<bool>(st);
  return st;
}

void ExportFile::WriteExportLine(std::u16string_view line) {
  if (!open_) return;
  std::vector<std::uint8_t> bytes;
  encodeInto(line, codePage_, bytes);
  writer_.write(bytes);
}

void ExportFile::WriteExportLine(std::string_view utf8Line) {
  if (!open_) return;
  bool ascii = true;
  for (char c : utf8Line) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii && (codePage_ == kCodePageUtf16Le || codePage_ == kCodePageUtf16Be)) {
    // Numbers and separators: each byte is one code unit.
    const bool le = codePage_ == kCodePageUtf16Le;
    std::string wide;
    wide.reserve(utf8Line.size() * 2 + 8);
    auto unit = [&](char c) {
      wide += le ? c : '\0';
      wide += le ? '\0' : c;
    };
    for (char c : utf8Line) {
      if (c == '\n') unit('\r');
      unit(c);
    }
    writer_.write(wide);
    return;
  }
  if (codePage_ == kCodePageUtf8 || codePage_ == kCodePageAnsi) {
    if (ascii) {
      // The common case (numbers and separators): no conversion needed.
      std::string text;
      text.reserve(utf8Line.size() + 4);
      for (char c : utf8Line) {
        if (c == '\n') text += '\r';
        text += c;
      }
      writer_.write(text);
      return;
    }
  }
  WriteExportLine(std::u16string_view(fromUtf8(utf8Line)));
}

void ExportFile::WriteByteOrderMark() {
  if (codePage_ == kCodePageUtf8 || codePage_ == kCodePageUtf16Le || codePage_ == kCodePageUtf16Be)
    WriteExportLine(std::u16string_view(u"\uFEFF"));
}

Status ExportFile::close() {
  if (!open_) return Status::error("the export file is not open");
  open_ = false;
  return writer_.commit();
}

void ExportFile::abandon() {
  if (open_) writer_.abandon();
  open_ = false;
}

void showCannotCreate(UserInterface& ui, const std::filesystem::path& path) {
  ui.showMessage(MessageBuilder().id(kCannotCreateId).text(" " + path.string()), Icon::Warning);
}

}  // namespace rc
