#include "editors/thirdparty/ibi_text_detect.h"

#include <algorithm>
#include <fstream>
#include <string_view>

#include "support/format.h"
#include "support/language.h"

namespace rc {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A line of values: at least one digit and nothing but digits, '.', ',',
// ';', blanks, tabs (and a CR).
bool isValueLine(std::string_view line) {
  bool digit = false;
  for (char c : line) {
    if (isDigit(c)) {
      digit = true;
    } else if (c != '.' && c != ',' && c != ';' && c != ' ' && c != '\t' && c != '\r') {
      return false;
    }
  }
  return digit;
}

bool isHrData(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
  if (line.size() != 8) return false;
  std::string lower(line);
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return lower == "[hrdata]";
}

// Several values on one line: separated by blanks or semicolons, or by two
// commas or more.
bool looksInline(std::string_view line) {
  std::string_view t = line;
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r')) t.remove_suffix(1);
  if (t.find_first_of(" ;") != std::string_view::npos) return true;
  return std::count(t.begin(), t.end(), ',') >= 2 && t.find('\t') == std::string_view::npos;
}

// How many of the data lines read as plausible intervals with a layout.
std::size_t plausibleCount(const std::vector<std::string_view>& lines, const IbiFileLayout& layout) {
  std::size_t n = 0;
  for (std::string_view line : lines) {
    std::string_view field = line;
    bool commaIsDecimal = true;
    if (layout.twoColumns) {
      commaIsDecimal = layout.separator != ',';
      const std::size_t cut = line.find(layout.separator);
      if (layout.secondPosition)
        field = cut == std::string_view::npos ? std::string_view() : line.substr(cut + 1);
      else if (cut != std::string_view::npos)
        field = line.substr(0, cut);
    }
    // One column with a decimal comma only when the line is that one number.
    if (!layout.twoColumns && std::count(line.begin(), line.end(), ',') + std::count(line.begin(), line.end(), '.') > 1)
      continue;
    const auto v = parseIbiValue(field, commaIsDecimal);
    if (v && *v >= kPlausibleIbiMin && *v <= kPlausibleIbiMax) ++n;
  }
  return n;
}

}  // namespace

IbiLayoutProposal detectIbiLayout(std::span<const std::uint8_t> bytes) {
  IbiLayoutProposal p;
  // The lines are copied: UTF-16 lines are views of a buffer reused per line.
  std::vector<std::string> lines;
  forEachIbiTextLine(bytes, [&](std::string_view line, std::size_t) {
    lines.emplace_back(line);
    return lines.size() < kDetectLines;
  });

  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (isHrData(lines[i])) {
      p.layout.kind = IbiTextLayout::HrmSection;
      p.layout.headerLines = static_cast<int>(std::min<std::size_t>(i + 1, 100));
      p.dataLine = i + 2;
      p.recognised = true;
      break;
    }
  }
  if (!p.recognised) {
    std::size_t first = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (isValueLine(lines[i])) {
        first = i;
        break;
      }
    }
    if (first == lines.size()) return p;
    p.recognised = true;
    p.dataLine = first + 1;
    p.layout.headerLines = static_cast<int>(std::min<std::size_t>(first, 100));
    std::vector<std::string_view> data;
    for (std::size_t i = first; i < lines.size() && data.size() < 200; ++i) {
      if (isValueLine(lines[i])) data.emplace_back(lines[i]);
    }
    const bool anyInline = std::any_of(data.begin(), data.end(), looksInline);
    const bool anyTab = std::any_of(data.begin(), data.end(),
                                    [](std::string_view l) { return l.find('\t') != std::string_view::npos; });
    const bool anyComma = std::any_of(data.begin(), data.end(),
                                      [](std::string_view l) { return l.find(',') != std::string_view::npos; });
    if (anyInline) {
      p.layout.kind = IbiTextLayout::Inline;
    } else if (anyTab || anyComma) {
      const char sep = anyTab ? '\t' : ',';
      const IbiFileLayout candidates[] = {
          {IbiTextLayout::Lines, p.layout.headerLines, false, false, ','},
          {IbiTextLayout::Lines, p.layout.headerLines, true, false, sep},
          {IbiTextLayout::Lines, p.layout.headerLines, true, true, sep},
      };
      std::size_t best = 0, bestCount = 0;
      for (std::size_t c = 0; c < std::size(candidates); ++c) {
        const std::size_t n = plausibleCount(data, candidates[c]);
        if (n > bestCount) {
          best = c;
          bestCount = n;
        }
      }
      p.layout = candidates[best];
    }
  }
  IbiTextReadResult preview = readIbiText(bytes, p.layout);
  const std::size_t n = std::min<std::size_t>(preview.values.size(), 5);
  p.firstValues.assign(preview.values.begin(), preview.values.begin() + static_cast<long>(n));
  return p;
}

Result<IbiLayoutProposal> detectIbiLayoutOfFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return Status::error("cannot open " + file.string());
  std::vector<std::uint8_t> bytes(kDetectBytes);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  const bool whole = got < kDetectBytes;
  bytes.resize(got);
  if (!whole) {
    // A cut last line is not looked at (unless it is the only one).
    std::size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] != '\n') --end;
    if (end > 0) bytes.resize(end);
  }
  return detectIbiLayout(bytes);
}

std::string describeIbiLayout(const IbiLayoutProposal& p) {
  if (!p.recognised) return str(1604);
  std::string out;
  switch (p.layout.kind) {
    case IbiTextLayout::HrmSection:
      out = str(1603);
      break;
    case IbiTextLayout::Inline:
      out = str(1602);
      break;
    case IbiTextLayout::Lines:
      out = str(p.layout.twoColumns ? 1609 : 1608);
      if (p.layout.twoColumns) {
        out += "\n" + str(465) + ": " + str(p.layout.secondPosition ? 468 : 467);
        out += "\n" + str(466) + ": " + str(p.layout.separator == ',' ? 469 : 1606);
      }
      break;
  }
  out += "\n" + substituteArg(str(1605), static_cast<long long>(p.dataLine));
  if (!p.firstValues.empty()) {
    std::string values;
    for (float v : p.firstValues) values += (values.empty() ? "" : "  ") + strprintf("%g", static_cast<double>(v));
    out += "\n" + substituteArg(str(1607), values);
  }
  return out;
}

}  // namespace rc
