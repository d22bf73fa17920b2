// The reader of IBI text files from other software: encodings, line ends,
// the layout rules, values, and the limits on what is read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "editors/thirdparty/file_layout.h"
#include "editors/thirdparty/ibi_text_reader.h"
#include "support/ui.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ansi(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<std::uint8_t> utf16(const std::string& s, bool lowFirst, bool mark = true) {
  std::vector<std::uint8_t> b;
  if (mark) {
    b.push_back(lowFirst ? 0xFF : 0xFE);
    b.push_back(lowFirst ? 0xFE : 0xFF);
  }
  for (unsigned char c : s) {
    b.push_back(lowFirst ? c : 0);
    b.push_back(lowFirst ? 0 : c);
  }
  return b;
}

IbiFileLayout oneColumn(int header = 0) { return {IbiTextLayout::Lines, header, false, false, ','}; }
IbiFileLayout twoColumns(bool second, char sep = ',', int header = 0) {
  return {IbiTextLayout::Lines, header, true, second, sep};
}

std::vector<float> valuesOf(const std::vector<std::uint8_t>& bytes, const IbiFileLayout& layout) {
  IbiTextReadResult r = readIbiText(bytes, layout);
  EXPECT_EQ(r.status, IbiReadStatus::Ok);
  return r.values;
}

struct Case {
  const char* name;
  std::vector<std::uint8_t> bytes;
  IbiFileLayout layout;
  std::vector<float> expected;
};

class ReaderRules : public ::testing::TestWithParam<Case> {};

TEST_P(ReaderRules, GivesTheExpectedValues) {
  const Case& c = GetParam();
  EXPECT_EQ(valuesOf(c.bytes, c.layout), c.expected) << c.name;
}

const std::vector<float> k3 = {812.0f, 790.0f, 805.0f};

std::vector<std::uint8_t> withUtf8Mark(const std::string& s) { return ansi("\xEF\xBB\xBF" + s); }

INSTANTIATE_TEST_SUITE_P(
    Rules, ReaderRules,
    ::testing::Values(
        Case{"lf", ansi("812\n790\n805\n"), oneColumn(), k3},
        Case{"crlf", ansi("812\r\n790\r\n805\r\n"), oneColumn(), k3},
        // The last line without a line end is read like the others.
        Case{"no final lf", ansi("812\n790\n805"), oneColumn(), k3},
        Case{"no final crlf", ansi("812\r\n790\r\n805"), oneColumn(), k3},
        Case{"utf-8 mark", withUtf8Mark("812\r\n790\r\n805\r\n"), oneColumn(), k3},
        Case{"utf-16 low first", utf16("812\r\n790\r\n805\r\n", true), oneColumn(), k3},
        Case{"utf-16 high first", utf16("812\n790\n805\n", false), oneColumn(), k3},
        Case{"header lines", ansi("RR (ms)\nexported 2024\n812\n790\n805\n"), oneColumn(2), k3},
        Case{"a letter skips the line", ansi("812\n812 ms\n790\nabc\n805\n"), oneColumn(), k3},
        Case{"one character lines", ansi("812\n5\n\n790\n805\n"), oneColumn(), k3},
        Case{"windows-1252 letter", ansi("812\n79\xE9\n790\n805\n"), oneColumn(), k3},
        Case{"comma second", ansi("1,812\n2,790\n3,805\n"), twoColumns(true), k3},
        Case{"comma first", ansi("812,1\n790,2\n805,3\n"), twoColumns(false), k3},
        Case{"comma first gives the first", ansi("1,812\n"), twoColumns(false), {1.0f}},
        Case{"tab second", ansi("0.812\t812\n1.602\t790\n2.407\t805\n"), twoColumns(true, '\t'), k3},
        Case{"tab second with decimal comma", ansi("0,812\t812,5\n"), twoColumns(true, '\t'), {812.5f}},
        Case{"comma separator keeps the point", ansi("1,812.5\n"), twoColumns(true), {812.5f}},
        Case{"one column decimal comma", ansi("812,5\n790.25\n"), oneColumn(), {812.5f, 790.25f}},
        Case{"leading tab", ansi("\t812\n"), oneColumn(), {812.0f}},
        // A field without a digit, and zero, give no interval.
        Case{"empty second field", ansi("1,\n,\n0\n00\n1,812\n"), twoColumns(true), {812.0f}},
        Case{"zero one column", ansi("0\n00\n0.0\n812\n"), oneColumn(), {812.0f}},
        Case{"inline blanks", ansi("1203 1124 974  1168"), {IbiTextLayout::Inline, 0, false, false, ','},
             {1203.0f, 1124.0f, 974.0f, 1168.0f}},
        Case{"inline commas", ansi("RR\n812, 790,805;\n900\n"), {IbiTextLayout::Inline, 1, false, false, ','},
             {812.0f, 790.0f, 805.0f, 900.0f}},
        Case{"hrm section",
             ansi("[Params]\r\nVersion=106\r\n[IntTimes]\r\n0\t0\t0\r\n12\t34\r\n\r\n[HRData]\r\n812\r\n790\t120\r\n"
                  "805\r\n\r\n[Other]\r\n999\r\n"),
             {IbiTextLayout::HrmSection, 0, false, false, ','}, k3}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return n;
    });

TEST(IbiTextReader, HeaderLinesCoveringTheFileGiveNoData) {
  for (const char* text : {"812\n790\n", "812\n790", ""}) {
    IbiTextReadResult r = readIbiText(ansi(text), oneColumn(2));
    EXPECT_EQ(r.status, IbiReadStatus::NoData) << text;
    EXPECT_TRUE(r.values.empty());
  }
  EXPECT_EQ(readIbiText(ansi("812\n790\n805"), oneColumn(2)).values, std::vector<float>{805.0f});
  EXPECT_EQ(readIbiText(ansi("[Params]\n812\n"), {IbiTextLayout::HrmSection, 0, false, false, ','}).status,
            IbiReadStatus::NoData);
}

TEST(IbiTextReader, OutOfRangeValuesAreKeptAndCounted) {
  IbiTextReadResult r = readIbiText(ansi("head\n812\n150\n790\n3500\n"), oneColumn(1));
  EXPECT_EQ(r.values, (std::vector<float>{812.0f, 150.0f, 790.0f, 3500.0f}));
  EXPECT_EQ(r.outOfRange, 2u);
  EXPECT_EQ(r.firstOutOfRangeLine, 3u);
  EXPECT_EQ(r.lineCount, 5u);
  EXPECT_EQ(r.skippedLines, 0u);
}

TEST(IbiTextReader, OddLengthUtf16IgnoresTheLastByte) {
  std::vector<std::uint8_t> b = utf16("812\n790\n805\n", true);
  b.push_back('9');
  // A copy of exactly that size, so ASan sees any read past the end.
  auto* exact = new std::uint8_t[b.size()];
  std::copy(b.begin(), b.end(), exact);
  EXPECT_EQ(readIbiText(std::span<const std::uint8_t>(exact, b.size()), oneColumn()).values, k3);
  delete[] exact;
  std::vector<std::uint8_t> mark = {0xFF, 0xFE, '8'};
  EXPECT_TRUE(readIbiText(mark, oneColumn()).values.empty());
}

TEST(IbiTextReader, NumbersReadTheSameUnderEveryLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  for (const char* loc : {"C", "de_DE.UTF-8", "de_DE.utf8"}) {
    if (!std::setlocale(LC_NUMERIC, loc)) continue;
    EXPECT_EQ(valuesOf(ansi("812.5\n"), oneColumn()), std::vector<float>{812.5f}) << loc;
    EXPECT_EQ(valuesOf(ansi("812,5\n"), oneColumn()), std::vector<float>{812.5f}) << loc;
    EXPECT_EQ(valuesOf(ansi("1,812\n"), twoColumns(true)), std::vector<float>{812.0f}) << loc;
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(IbiTextReader, ParsesValuesByHand) {
  EXPECT_EQ(parseIbiValue("  812.75xyz", false), 812.75);
  EXPECT_EQ(parseIbiValue("812,75", true), 812.75);
  EXPECT_EQ(parseIbiValue("812,75", false), 812.0);
  EXPECT_EQ(parseIbiValue(".5", false), 0.5);
  EXPECT_FALSE(parseIbiValue("", false));
  EXPECT_FALSE(parseIbiValue(".", false));
  EXPECT_FALSE(parseIbiValue("-812", false));
  EXPECT_FALSE(parseIbiValue("0.000", false));
  EXPECT_FALSE(parseIbiValue(std::string(60, '9'), false));  // no float holds it
  // So small a float would store it as 0: skipped like 0, never an interval of 0.
  const std::string tiny = "0." + std::string(60, '0') + "16397";
  EXPECT_FALSE(parseIbiValue(tiny, false));
  EXPECT_EQ(valuesOf(ansi(tiny + "\n812\n"), oneColumn()), std::vector<float>{812.0f});
}

class IbiTextFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "rc_ibitext_XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }
  fs::path dir_;
};

TEST_F(IbiTextFiles, AFileOfFourGibibytesOrMoreIsRefusedBeforeReading) {
  const fs::path big = dir_ / "big.txt";
  { std::ofstream(big, std::ios::binary) << "812\n"; }
  std::error_code ec;
  fs::resize_file(big, (std::uint64_t{4} << 30) + 10, ec);  // sparse: no disk space used
  if (ec) GTEST_SKIP() << "no sparse file: " << ec.message();
  ScriptedUi ui;
  EXPECT_FALSE(readThirdPartyFile(big, oneColumn(), ui));
  EXPECT_EQ(ui.firstIds(), std::vector<int>{473});
}

TEST_F(IbiTextFiles, AnAllocationFailureIsReportedAsTooLarge) {
  const fs::path f = write("a.txt", "812\n790\n");
  testing::failNextIbiTextAllocation();
  ScriptedUi ui;
  EXPECT_FALSE(readThirdPartyFile(f, oneColumn(), ui));
  EXPECT_EQ(ui.firstIds(), std::vector<int>{473});
  EXPECT_EQ(readIbiTextFile(f, oneColumn()).values.size(), 2u);  // only the next read fails
}

TEST_F(IbiTextFiles, MessagesOfTheRead) {
  ScriptedUi ui;
  EXPECT_FALSE(readThirdPartyFile(dir_ / "missing.txt", oneColumn(), ui));
  ASSERT_EQ(ui.records().size(), 1u);
  EXPECT_EQ(ui.records()[0].message.ids, std::vector<int>{189});
  EXPECT_NE(ui.records()[0].message.text.find("missing.txt"), std::string::npos);
  EXPECT_EQ(ui.records()[0].icon, Icon::Information);

  ui.clear();
  EXPECT_FALSE(readThirdPartyFile(write("h.txt", "a\nb\n"), oneColumn(2), ui));
  EXPECT_EQ(ui.firstIds(), std::vector<int>{486});

  ui.clear();
  auto f = readThirdPartyFile(write("r.txt", "812\n99\n790\n"), oneColumn(), ui);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->values.size(), 3u);
  ASSERT_EQ(ui.records().size(), 1u);
  EXPECT_EQ(ui.records()[0].message.ids, std::vector<int>{1610});

  ui.clear();
  ASSERT_TRUE(readThirdPartyFile(write("ok.txt", "812\n790\n"), oneColumn(), ui));
  EXPECT_TRUE(ui.records().empty());
}

}  // namespace
}  // namespace rc
