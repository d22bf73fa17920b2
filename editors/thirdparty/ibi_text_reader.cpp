#include "editors/thirdparty/ibi_text_reader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <system_error>

#include "support/file_io.h"

namespace rc {

namespace {

std::atomic<bool> g_failAllocation{false};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A line of the settings' layout holds only these characters.
bool lineCharAllowed(char c) { return isDigit(c) || c == ',' || c == '.' || c == '\t' || c == '\r'; }

bool isInlineSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool isSectionLine(std::string_view line) {
  line = trimmed(line);
  return !line.empty() && line.front() == '[';
}

bool isHrDataLine(std::string_view line) {
  line = trimmed(line);
  constexpr std::string_view kName = "[hrdata]";
  if (line.size() != kName.size()) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kName[i]) return false;
  }
  return true;
}

class ValueSink {
 public:
  explicit ValueSink(IbiTextReadResult& r) : r_(r) {}
  void add(double v, std::size_t line) {
    if (v < kPlausibleIbiMin || v > kPlausibleIbiMax) {
      if (r_.outOfRange++ == 0) r_.firstOutOfRangeLine = line;
    }
    r_.values.push_back(static_cast<float>(v));
  }
  void skip() { ++r_.skippedLines; }

 private:
  IbiTextReadResult& r_;
};

// One line of the settings' layout.
void readLayoutLine(std::string_view line, std::size_t number, const IbiFileLayout& layout, ValueSink& sink) {
  if (line.size() <= 1) return;  // lines of one character are not data
  for (char c : line) {
    if (!lineCharAllowed(c)) {
      sink.skip();
      return;
    }
  }
  std::string_view field = line;
  bool commaIsDecimal = true;
  if (layout.twoColumns) {
    commaIsDecimal = layout.separator != ',';
    const std::size_t cut = line.find(layout.separator);
    if (layout.secondPosition) {
      field = cut == std::string_view::npos ? std::string_view() : line.substr(cut + 1);
    } else if (cut != std::string_view::npos) {
      field = line.substr(0, cut);
    }
  }
  if (auto v = parseIbiValue(field, commaIsDecimal)) {
    sink.add(*v, number);
  } else {
    sink.skip();
  }
}

// Every field of a line separated by blanks, tabs, commas or semicolons.
void readInlineLine(std::string_view line, std::size_t number, ValueSink& sink) {
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isInlineSeparator(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !isInlineSeparator(line[i])) ++i;
    if (i == start) break;
    const std::string_view field = line.substr(start, i - start);
    bool number_ok = true;
    for (char c : field) number_ok = number_ok && (isDigit(c) || c == '.');
    auto v = number_ok ? parseIbiValue(field, false) : std::nullopt;
    if (v) {
      sink.add(*v, number);
    } else {
      sink.skip();
    }
  }
}

template <typename Unit>
void forEachLine16(std::span<const std::uint8_t> bytes, bool lowFirst, const Unit& line) {
  std::string buf;
  std::size_t number = 0;
  const std::size_t units = bytes.size() / 2;  // a trailing odd byte is ignored
  for (std::size_t u = 0; u < units; ++u) {
    const unsigned lo = bytes[2 * u], hi = bytes[2 * u + 1];
    const unsigned v = lowFirst ? (lo | hi << 8) : (hi | lo << 8);
    if (v == '\n') {
      if (!buf.empty() && buf.back() == '\r') buf.pop_back();
      if (!line(std::string_view(buf), ++number)) return;
      buf.clear();
    } else {
      buf.push_back(v < 0x80 ? static_cast<char>(v) : '\x7F');
    }
  }
  if (!buf.empty()) line(std::string_view(buf), ++number);
}

}  // namespace

IbiTextEncoding ibiTextEncoding(std::span<const std::uint8_t> b) {
  if (b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return IbiTextEncoding::Utf8;
  if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) return IbiTextEncoding::Utf16Le;
  if (b.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) return IbiTextEncoding::Utf16Be;
  return IbiTextEncoding::Ansi;
}

void forEachIbiTextLine(std::span<const std::uint8_t> bytes,
                        const std::function<bool(std::string_view, std::size_t)>& line) {
  switch (ibiTextEncoding(bytes)) {
    case IbiTextEncoding::Utf16Le:
      forEachLine16(bytes.subspan(2), true, line);
      return;
    case IbiTextEncoding::Utf16Be:
      forEachLine16(bytes.subspan(2), false, line);
      return;
    case IbiTextEncoding::Utf8:
      bytes = bytes.subspan(3);
      break;
    case IbiTextEncoding::Ansi:
      break;
  }
  // One byte a character: the lines are views into the bytes. Bytes above
  // 0x7F (UTF-8 sequences, Windows-1252 letters) are never characters that matter.
  const char* p = reinterpret_cast<const char*>(bytes.data());
  const char* end = p + bytes.size();
  std::size_t number = 0;
  while (p < end) {
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* stop = lf ? lf : end;
    std::size_t len = static_cast<std::size_t>(stop - p);
    if (lf && len > 0 && p[len - 1] == '\r') --len;
    if (!line(std::string_view(p, len), ++number)) return;
    if (!lf) break;
    p = lf + 1;
  }
}

std::optional<double> parseIbiValue(std::string_view f, bool commaIsDecimal) {
  std::size_t i = 0;
  while (i < f.size() && (f[i] == ' ' || f[i] == '\t')) ++i;
  double whole = 0.0;
  bool digits = false;
  for (; i < f.size() && isDigit(f[i]); ++i) {
    whole = whole * 10.0 + (f[i] - '0');
    digits = true;
  }
  if (i < f.size() && (f[i] == '.' || (commaIsDecimal && f[i] == ','))) {
    double scale = 0.1;
    for (++i; i < f.size() && isDigit(f[i]); ++i) {
      whole += (f[i] - '0') * scale;
      scale *= 0.1;
      digits = true;
    }
  }
  // A value a single-precision interval cannot hold (so small it would be
  // stored as 0, or beyond its range) is no value.
  if (!digits || !(whole >= 1.0e-37) || whole > 3.0e38) return std::nullopt;
  return whole;
}

IbiTextReadResult readIbiText(std::span<const std::uint8_t> bytes, const IbiFileLayout& layout) {
  IbiTextReadResult r;
  r.encoding = ibiTextEncoding(bytes);
  try {
    if (g_failAllocation.exchange(false)) throw std::bad_alloc();
    // A guess of the count from the size keeps the value store from regrowing.
    r.values.reserve(bytes.size() / 5 + 16);
    ValueSink sink(r);
    const std::size_t header = layout.kind == IbiTextLayout::HrmSection
                                   ? 0
                                   : static_cast<std::size_t>(std::max(layout.headerLines, 0));
    bool inSection = false, sectionSeen = false;
    forEachIbiTextLine(bytes, [&](std::string_view line, std::size_t number) {
      r.lineCount = number;
      switch (layout.kind) {
        case IbiTextLayout::Lines:
          if (number > header) readLayoutLine(line, number, layout, sink);
          break;
        case IbiTextLayout::Inline:
          if (number > header) readInlineLine(line, number, sink);
          break;
        case IbiTextLayout::HrmSection:
          if (inSection && isSectionLine(line)) {
            inSection = false;
          } else if (inSection) {
            IbiFileLayout firstField;
            std::string_view field = trimmed(line);
            const std::size_t cut = field.find_first_of(" \t,;");
            if (cut != std::string_view::npos) field = field.substr(0, cut);
            readLayoutLine(field, number, firstField, sink);
          } else if (!sectionSeen && isHrDataLine(line)) {
            inSection = sectionSeen = true;
          }
          break;
      }
      return true;
    });
    if (layout.kind == IbiTextLayout::HrmSection ? !sectionSeen : r.lineCount <= header) {
      r.status = IbiReadStatus::NoData;
      r.values.clear();
    }
    r.values.shrink_to_fit();
  } catch (const std::bad_alloc&) {
    IbiTextReadResult tooLarge;
    tooLarge.status = IbiReadStatus::TooLarge;
    return tooLarge;
  }
  return r;
}

IbiTextReadResult readIbiTextFile(const std::filesystem::path& file, const IbiFileLayout& layout,
                                  std::uint64_t sizeLimit) {
  IbiTextReadResult r;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec) || std::filesystem::is_directory(file, ec)) {
    r.status = IbiReadStatus::OpenFailed;
    r.error = ec ? ec.message() : std::string("no such file");
    return r;
  }
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size == static_cast<std::uintmax_t>(-1) || size >= sizeLimit) {
    r.status = IbiReadStatus::TooLarge;
    return r;
  }
  MappedFile mapped;
  if (Status st = mapped.open(file); !st) {
    r.status = IbiReadStatus::OpenFailed;
    r.error = st.message();
    return r;
  }
  return readIbiText(mapped.bytes(), layout);
}

namespace testing {
void failNextIbiTextAllocation() { g_failAllocation = true; }
}  // namespace testing

}  // namespace rc
