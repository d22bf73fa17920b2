// Checks of the shipped language table (resources/program/rhythmcraft.lang):
// every id the program uses has a text, texts used as formats take exactly the
// arguments their callers pass, and texts that end up in files or in composed
// messages keep the shape their callers rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/format.h"
#include "support/language.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

// Every string id the program uses, grouped by the area that shows it.
// clang-format off
constexpr int kRequiredIds[] = {
    // common buttons, About item
    1, 2, 5, 6,
    // application start, main window, client and session lists
    101, 102, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 128, 129, 190, 191, 198, 199, 317, 318,
    373, 381,
    // review and edit window
    155, 200, 201, 202, 214, 215, 216, 223, 232, 239, 240, 246, 248, 249, 283, 291, 307, 316, 321, 322, 323,
    363, 411,
    // signal selection and session configuration
    116, 117, 119, 120, 195, 196, 197, 217, 1151, 1152,
    // analysis settings
    230, 268, 441,
    // script of a scripted session
    353, 354, 355, 356, 357, 358, 359, 360, 374,
    // session events
    368, 369, 370, 371,
    // database files
    1044, 1052, 1421, 1422, 1444, 1451, 1452, 6285,
    // IBI editor
    134, 135, 136, 180, 184, 189, 233, 234, 235, 237, 238, 241, 242, 243, 244, 245, 297, 305, 306, 366, 367,
    477,
    // rejection editor and chart scales
    271, 272, 289, 290, 294, 309, 326, 375, 376, 377, 378, 448, 449,
    // IBI text files from other software
    156, 187, 462, 463, 464, 465, 466, 467, 468, 469, 472, 473, 475, 484, 485, 486, 1601, 1602, 1603, 1604,
    1605, 1606, 1607, 1608, 1609, 1610, 1611, 1612, 1613, 1614, 1615, 1616, 1617, 1618,
    1619, 1620, 1621, 1622, 1623, 1624, 1625, 1626, 1627, 1628, 1629, 1630, 1631, 1632,
    1633, 1634, 1635, 1636, 1637, 1638,
    // automatic IBI editing
    442, 443, 444, 445, 446,
    // statistics page column headings
    138, 139, 140, 213, 253, 254, 255, 256, 257, 258, 259, 260, 261, 262, 263, 273, 274, 275, 276, 280, 281,
    282, 287, 324, 361, 362,
    // epoch viewer charts
    311, 312, 313, 314,
    // epoch viewer and 3D spectrum viewer
    15001, 15002, 15003, 15005, 15006, 15007, 15008, 15009, 15010, 15011, 15012, 15013, 15014, 15015, 15016,
    15017, 15018, 15019, 15020, 15021, 15022, 15023, 15024, 15025,
    // text exports
    118, 252, 299, 332, 333, 334, 335, 336, 337, 338, 339, 340, 341, 342, 343, 344, 345, 346, 349, 478, 479,
    480,
    // session report
    303, 308, 347, 348, 421, 422,
    // spreadsheet report definitions
    127, 143, 388, 404, 406, 407, 408, 409, 410, 414, 415, 418, 419, 455, 483,
    // desktop program: main window, review window, dialogs, statistics page
    5201, 5202, 5203, 5204, 5205, 5206, 5207, 5208, 5209, 5210, 5211, 5212, 5213, 5214, 5215, 5216, 5217,
    5218, 5219, 5220, 5221, 5223, 5224, 5225, 5226, 5227, 5228, 5229, 5230, 5231, 5232, 5233, 5234, 5235,
    5236, 5237, 5238, 5239, 5240, 5241, 5242, 5243, 5244, 5245, 5246, 5247, 5248, 5249, 5250, 5251, 5252,
    5253, 5254, 5255, 5256, 5257, 5258, 5259, 5260,
    // damaged inputs
    7001, 7002, 7003, 7004, 7005, 7006, 7007,
    // reports: options, definitions, report texts
    6400, 6401, 6402, 6403, 6404, 6405, 6406, 6407, 6408, 6409, 6410, 6411, 6412, 6413, 6414, 6415, 6420, 6421,
    6422, 6423, 6424, 6425, 6426, 6427, 6428, 6429, 6430, 6431, 6432, 6433, 6434, 6435, 6436, 6437, 6438, 6439,
    6440, 6441, 6442, 6443, 6444, 6445,
    // periodic editor page
    13001, 13002, 13003, 13004, 13005, 13006, 13007, 13008, 13009, 13010, 13011, 13012, 13013, 13014, 13015, 13016,
    // rejection editor and export encodings
    14001, 14002, 14003, 14004, 14005, 14006, 14007,
};
// clang-format on

// Texts used as formats, with the conversions their callers fill, in order:
// 'd' an integer, 's' a text, 'f' a real, '1' / '2' the positional arguments.
struct FormatUse {
  int id;
  const char* conversions;
};
constexpr FormatUse kFormats[] = {
    {116, "s"}, {117, "s"}, {129, "s"}, {242, "f"},    {246, "12"}, {256, "d"},  {257, "d"},
    {305, "s"}, {343, "s"}, {344, "s"}, {377, "dd"},   {378, "d"},  {418, "d"},  {421, "s"},
    {422, "s"}, {441, "d"}, {443, "d"}, {1421, "sss"}, {1422, "s"}, {1444, "s"},
    {15017, "12"}, {15018, "12"}, {1605, "d"}, {1607, "s"}, {1610, "dd"}, {1618, "d"}, {5221, "s"}, {5235, ""},
    {7001, "s"}, {7002, "s"}, {7003, "s"}, {7006, "s"},
};

// Texts written into export files or report tables as column captions: one
// line, short, and free of the characters that separate export columns.
constexpr int kCaptionIds[] = {111, 119, 120, 138, 139, 140, 156, 187, 213, 252, 253, 254, 255, 256,
                               257, 258, 259, 260, 261, 262, 263, 271, 272, 273, 274, 275, 276, 280,
                               281, 282, 287, 323, 324, 332, 333, 345, 346, 349, 361, 362, 484, 485};
// Default names of events: stored in a 63-character field of the events file.
constexpr int kEventNameIds[] = {369, 370, 371};
// Yes/No and OK/Cancel questions.
constexpr int kQuestionIds[] = {180, 214, 241, 249, 305, 306, 308, 309, 316, 343, 344, 418, 475};
// Texts that are followed directly by a path, a name or another text: the
// caller adds a blank or nothing, so the text ends with its own separator.
struct Ending {
  int id;
  const char* suffix;
};
constexpr Ending kEndings[] = {{136, ".\n"}, {189, ":"},  {198, ":"},  {374, ", "},
                               {448, ": "},  {1044, ":"}, {1452, ":"}, {6285, ":"},
                               {7001, ":"}, {7007, ":"}};

fs::path sourceTable() { return fs::path(RC_SOURCE_DIR) / "resources" / "program" / kLanguageFileName; }

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The conversions of a text as the safe substitution sees them ("%%" is no
// conversion); '?' marks a "%" that is neither.
std::string conversionsOf(std::string_view t) {
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  std::string out;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '%') continue;
    std::size_t j = i + 1;
    if (j < t.size() && t[j] == '%') {
      i = j;
      continue;
    }
    if (j < t.size() && (t[j] == '1' || t[j] == '2') && (j + 1 >= t.size() || !isDigit(t[j + 1]))) {
      out += t[j];
      i = j;
      continue;
    }
    while (j < t.size() && std::string_view("-+ 0#").find(t[j]) != std::string_view::npos) ++j;
    while (j < t.size() && isDigit(t[j])) ++j;
    if (j < t.size() && t[j] == '.') {
      ++j;
      while (j < t.size() && isDigit(t[j])) ++j;
    }
    while (j < t.size() && std::string_view("hlLqjzt").find(t[j]) != std::string_view::npos) ++j;
    char c = j < t.size() ? t[j] : '\0';
    if (c != '\0' && std::string_view("diuxXc").find(c) != std::string_view::npos)
      out += 'd';
    else if (c != '\0' && std::string_view("fFeEgG").find(c) != std::string_view::npos)
      out += 'f';
    else if (c == 's')
      out += 's';
    else {
      out += '?';
      continue;
    }
    i = j;
  }
  return out;
}

bool validUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    auto lead = static_cast<unsigned char>(s[i]);
    std::size_t extra = lead < 0x80           ? 0
                        : (lead >> 5) == 0x6  ? 1
                        : (lead >> 4) == 0xE  ? 2
                        : (lead >> 3) == 0x1E ? 3
                                              : 4;
    if (extra == 4 || s.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

// The ids of the entry lines, in file order; lines without a tab give -1.
std::vector<long long> entryIds(const std::string& raw) {
  std::vector<long long> ids;
  std::size_t pos = 0;
  while (pos < raw.size()) {
    std::size_t end = raw.find('\n', pos);
    if (end == std::string::npos) end = raw.size();
    std::string_view line(raw.data() + pos, end - pos);
    pos = end + 1;
    if (line.empty() || line[0] == '#') continue;
    std::size_t tab = line.find('\t');
    bool digits = tab != std::string_view::npos && tab > 0 && tab < 10 &&
                  std::all_of(line.begin(), line.begin() + static_cast<long>(tab),
                              [](char c) { return c >= '0' && c <= '9'; });
    ids.push_back(digits ? std::stoll(std::string(line.substr(0, tab))) : -1);
  }
  return ids;
}

std::size_t utf16Length(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) != 0x80) n += (c >= 0xF0) ? 2 : 1;
  }
  return n;
}

class ShippedLanguageTable : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    raw_ = readText(sourceTable());
    status_ = table_.loadFile(sourceTable());
  }
  static const std::string& text(int id) { return table_.text(id); }

  static inline std::string raw_;
  static inline LanguageTable table_;
  static inline Status status_;
};

TEST_F(ShippedLanguageTable, LoadsWithWellFormedLinesAndNoDuplicates) {
  ASSERT_TRUE(status_.isOk()) << status_.message();
  EXPECT_TRUE(validUtf8(raw_));
  EXPECT_EQ(raw_.find('\r'), std::string::npos);
  std::set<long long> seen;
  for (long long id : entryIds(raw_)) {
    EXPECT_GE(id, 0) << "an entry line is not \"id<TAB>text\"";
    EXPECT_TRUE(seen.insert(id).second) << "id " << id << " appears twice";
  }
  EXPECT_EQ(seen.size(), table_.size());
}

TEST_F(ShippedLanguageTable, HoldsExactlyTheIdsTheProgramUses) {
  EXPECT_EQ(text(kAppTitleId), "Rhythmcraft");
  std::set<long long> required(std::begin(kRequiredIds), std::end(kRequiredIds));
  EXPECT_EQ(required.size(), std::size(kRequiredIds)) << "the required list repeats an id";
  for (long long id : required)
    EXPECT_FALSE(text(static_cast<int>(id)).empty()) << "id " << id << " has no text";
  // An id that the program does not use is most likely a mistyped one.
  for (long long id : entryIds(raw_)) EXPECT_TRUE(required.count(id)) << "id " << id << " is not used";
}

TEST_F(ShippedLanguageTable, FormatsTakeExactlyTheArgumentsTheirCallersPass) {
  std::set<int> formats;
  for (const auto& f : kFormats) {
    formats.insert(f.id);
    EXPECT_EQ(conversionsOf(text(f.id)), f.conversions) << "id " << f.id << ": " << text(f.id);
  }
  // Every other text may pass through printf-style formatting (column
  // headings do): it must hold no "%" at all.
  for (int id : kRequiredIds) {
    if (formats.count(id)) continue;
    EXPECT_EQ(text(id).find('%'), std::string::npos) << "id " << id << ": " << text(id);
  }
}

TEST_F(ShippedLanguageTable, OneArgumentFormatsShowTheirArgument) {
  for (const auto& f : kFormats) {
    std::string_view conv = f.conversions;
    if (conv.size() != 1) continue;
    FormatArg arg = conv == "s"   ? FormatArg(std::string("Sess0007/IBIFromEKG_1A.dat"))
                    : conv == "f" ? FormatArg(412.5)
                                  : FormatArg(1234LL);
    std::string expected = conv == "s" ? "Sess0007/IBIFromEKG_1A.dat" : conv == "f" ? "412.5" : "1234";
    std::string out = substituteArg(text(f.id), arg);
    EXPECT_NE(out.find(expected), std::string::npos) << "id " << f.id << ": " << out;
    EXPECT_EQ(out.find('%'), std::string::npos) << "id " << f.id << ": " << out;
  }
  // The NN threshold in the NN count and pNN headings; the scale limits in order.
  EXPECT_EQ(substituteArg(text(256), 50LL), "NN50");
  EXPECT_EQ(substituteArg(text(257), 20LL), "pNN20");
  std::string limits = substituteArgs(text(377), -10000LL, 10000LL);
  EXPECT_LT(limits.find("-10000"), limits.find(" 10000")) << limits;
}

TEST_F(ShippedLanguageTable, TextsHoldNoTabsOrStrayControlCharacters) {
  for (int id : kRequiredIds) {
    for (unsigned char c : text(id)) {
      EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7F)) << "id " << id << " holds character " << int(c);
    }
    EXPECT_TRUE(validUtf8(text(id))) << "id " << id;
  }
}

TEST_F(ShippedLanguageTable, CaptionsAndEventNamesFitWhereTheyAreStored) {
  for (int id : kCaptionIds) {
    const std::string& t = text(id);
    EXPECT_EQ(t.find_first_of("\n,;|"), std::string::npos) << "caption " << id << ": " << t;
    EXPECT_LE(utf16Length(t), 40u) << "caption " << id;
  }
  for (int id : kEventNameIds) {
    EXPECT_EQ(text(id).find('\n'), std::string::npos) << "event name " << id;
    EXPECT_LE(utf16Length(text(id)), 63u) << "event name " << id;
  }
  // A protocol event label: activity number, the separator, a step label.
  EXPECT_LE(utf16Length("A100" + text(374) + "S100"), 63u);
  for (int id : {340, 341}) EXPECT_EQ(text(id).find_first_of("|()*\n"), std::string::npos) << id;
}

TEST_F(ShippedLanguageTable, ComposedTextsKeepTheirShape) {
  for (const auto& e : kEndings) {
    const std::string& t = text(e.id);
    std::string_view suffix = e.suffix;
    ASSERT_GE(t.size(), suffix.size()) << "id " << e.id;
    EXPECT_EQ(t.substr(t.size() - suffix.size()), suffix) << "id " << e.id << ": " << t;
  }
  EXPECT_EQ(text(374), ", ");
  for (int id : kQuestionIds) {
    ASSERT_FALSE(text(id).empty()) << id;
    EXPECT_EQ(text(id).back(), '?') << "question " << id << ": " << text(id);
  }
}

}  // namespace
}  // namespace rc
