#include "analysis/series/series_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "analysis/series_test_folder.h"
#include "support/binary.h"
#include "support/file_io.h"
#include "support/language.h"

namespace rc {
namespace {

namespace fs = std::filesystem;
using testing::fileBytes;
using testing::putBytes;
using testing::SeriesTempFolder;

IntervalSeries scriptedSample() {
  IntervalSeries s;
  s.segments = {{1, 0.5f, 0.0f, 2}, {2, -0.25f, 60.0f, 1}};
  s.values = {800.0f, 812.5f, 1000.0f};
  s.firstEventTime = 0.5f;
  return s;
}

const std::vector<std::uint8_t> kScriptedGolden = {
    0x02, 0x00, 0x00, 0x00,                                                  // S
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x00,  // 1, 0.5 s, 0 s,
    0x02, 0x00, 0x00, 0x00,                                                  //   2 intervals
    0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xBE, 0x00, 0x00, 0x70, 0x42,  // 2, -0.25 s, 60 s,
    0x01, 0x00, 0x00, 0x00,                                                  //   1 interval
    0x00, 0x00, 0x48, 0x44, 0x00, 0x20, 0x4B, 0x44, 0x00, 0x00, 0x7A, 0x44,  // 800, 812.5, 1000 ms
};

class SeriesFile : public ::testing::Test {
 protected:
  void SetUp() override { language().set(kFileNotCreatedId, "The file could not be created:"); }
  fs::path file(const std::string& name = "IBIFromBVP_1B.dat") const { return dir.path() / name; }
  SeriesTempFolder dir;
  ScriptedUi ui;
};

TEST_F(SeriesFile, ScriptedSeriesHasTheGoldenLayoutAndRoundTrips) {
  IntervalSeries s = scriptedSample();
  ASSERT_TRUE(writeIntervalSeries(file(), s, false));
  EXPECT_EQ(fileBytes(file()), kScriptedGolden);
  IntervalSeries back;
  ASSERT_TRUE(readIntervalSeries(file(), false, back));
  EXPECT_EQ(back, s);
}

TEST_F(SeriesFile, OpenSessionWriteTakesCountAndFirstEventFromTheSeries) {
  IntervalSeries s;
  s.segments = {{1, 9.0f, 0.0f, 77}};
  s.values = {700.0f, 710.0f, 720.0f};
  s.firstEventTime = 0.75f;
  ASSERT_TRUE(writeIntervalSeries(file(), s, true));
  const auto bytes = fileBytes(file());
  ASSERT_EQ(bytes.size(), 4u + 16u + 12u);
  EXPECT_EQ(loadU32(bytes.data()), 1u);
  EXPECT_EQ(loadF32(bytes.data() + 8), 0.75f);
  EXPECT_EQ(loadU32(bytes.data() + 16), 3u);
  IntervalSeries back;
  ASSERT_TRUE(readIntervalSeries(file(), true, back));
  EXPECT_EQ(back.firstEventTime, 0.75f);
  EXPECT_EQ(back.values, s.values);
}

TEST_F(SeriesFile, NoRecordsReadsAsAnEmptySeries) {
  putBytes(file(), {0, 0, 0, 0});
  IntervalSeries open;
  ASSERT_TRUE(readIntervalSeries(file(), true, open));
  EXPECT_EQ(open, emptyOpenSeries());
  EXPECT_EQ(open.segments, std::vector<SegmentRecord>{SegmentRecord{}});
  IntervalSeries scripted = scriptedSample();
  ASSERT_TRUE(readIntervalSeries(file(), false, scripted));
  EXPECT_TRUE(scripted.segments.empty());
  EXPECT_TRUE(scripted.values.empty());
  // An open series without any record is written with its one record.
  IntervalSeries none;
  ASSERT_TRUE(writeIntervalSeries(file(), none, true));
  EXPECT_EQ(fileBytes(file()),
            (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(none, emptyOpenSeries());
}

TEST_F(SeriesFile, OpenSessionFoldsSeveralRecordsIntoOne) {
  IntervalSeries s = scriptedSample();
  ASSERT_TRUE(writeIntervalSeries(file(), s, false));
  std::vector<std::uint8_t> bytes = fileBytes(file());
  bytes.insert(bytes.end(), {1, 2, 3});  // trailing bytes are ignored
  putBytes(file(), bytes);
  IntervalSeries back;
  ASSERT_TRUE(readIntervalSeries(file(), true, back));
  ASSERT_EQ(back.segments.size(), 1u);
  EXPECT_EQ(back.segments[0].intervalCount, 3);
  EXPECT_EQ(back.firstEventTime, 0.5f);
  EXPECT_EQ(back.values, s.values);
}

TEST_F(SeriesFile, CountsOutOfStepAreRefusedAndKeepTheFile) {
  IntervalSeries s = scriptedSample();
  ASSERT_TRUE(writeIntervalSeries(file(), s, false));
  const auto before = fileBytes(file());
  for (int delta : {+1, -1, +1000000}) {
    IntervalSeries bad = scriptedSample();
    bad.segments[1].intervalCount += delta;
    const IntervalSeries copy = bad;
    EXPECT_FALSE(saveIntervalSeries(file(), bad, false, ui)) << delta;
    EXPECT_EQ(bad, copy);
    EXPECT_EQ(fileBytes(file()), before);
  }
  ASSERT_EQ(ui.records().size(), 3u);
  EXPECT_EQ(ui.records()[0].message.ids, std::vector<int>{kFileNotCreatedId});
  EXPECT_EQ(ui.records()[0].message.text,
            "The file could not be created: " + file().string() +
                "\nthe segment counts do not match the number of intervals");
  EXPECT_EQ(ui.records()[0].icon, Icon::Warning);
}

TEST_F(SeriesFile, FailedWriteKeepsTheOldFileAndTellsTheUser) {
  IntervalSeries s = scriptedSample();
  ASSERT_TRUE(writeIntervalSeries(file(), s, false));
  const auto before = fileBytes(file());
  IntervalSeries changed = s;
  changed.values[0] = 1.0f;
  rc::testing::failNextAtomicCommit();
  EXPECT_FALSE(saveIntervalSeries(file(), changed, false, ui));
  EXPECT_EQ(fileBytes(file()), before);
  EXPECT_TRUE(ui.shown(kFileNotCreatedId));
  EXPECT_EQ(changed.values[0], 1.0f);  // the series stays in memory
  // Only the series file is left in the folder: no temporary files.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  const fs::path missing = dir.path() / "no such folder" / "RespPeriod_1C.dat";
  EXPECT_FALSE(saveIntervalSeries(missing, changed, false, ui));
  // The path, then on a line of its own why the file could not be written.
  const std::string& text = ui.records().back().message.text;
  EXPECT_EQ(text.substr(0, text.find('\n')), "The file could not be created: " + missing.string());
  EXPECT_NE(text.find("\n"), std::string::npos) << text;
  EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;
}

// A damaged or hostile file: each reads as failure and leaves the series as it was.
struct BadFile {
  const char* name;
  std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> build(std::initializer_list<std::int32_t> header, std::vector<float> floats = {}) {
  ByteWriter w;
  for (std::int32_t v : header) w.i32(v);
  w.f32Array(floats.data(), floats.size());
  return w.take();
}

std::vector<std::uint8_t> record(std::int32_t s, float offset, float start, std::int32_t count,
                                 std::vector<float> values) {
  ByteWriter w;
  w.i32(s);
  w.i32(1);
  w.f32(offset);
  w.f32(start);
  w.i32(count);
  w.f32Array(values.data(), values.size());
  return w.take();
}

class DamagedSeriesFile : public SeriesFile, public ::testing::WithParamInterface<BadFile> {};

TEST_P(DamagedSeriesFile, ReadsAsFailureAndKeepsTheLoadedSeries) {
  for (bool open : {true, false}) {
    EXPECT_FALSE(parseIntervalSeries(GetParam().bytes, open)) << open;
    putBytes(file(), GetParam().bytes);
    IntervalSeries loaded = scriptedSample();
    EXPECT_FALSE(readIntervalSeries(file(), open, loaded));
    EXPECT_EQ(loaded, scriptedSample());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Series, DamagedSeriesFile,
    ::testing::Values(BadFile{"Empty", {}}, BadFile{"CutCount", {1, 0}},
                      BadFile{"NegativeRecordCount", build({-1})},
                      BadFile{"HugeRecordCount", build({0x7FFFFFFF, 1, 0, 0, 0})},
                      BadFile{"CutTable", build({2, 1, 0, 0, 0})},
                      BadFile{"NegativeIntervalCount", record(1, 0.0f, 0.0f, -100, {800, 800})},
                      BadFile{"CountsOverflow", build({2, 1, 0, 0, 0x7FFFFFFF, 2, 0, 0, 0x7FFFFFFF}, {800})},
                      BadFile{"CutValues", record(1, 0.0f, 0.0f, 3, {800, 800})},
                      BadFile{"NanOffset", record(1, std::nanf(""), 0.0f, 1, {800})},
                      BadFile{"InfiniteStart", record(1, 0.0f, INFINITY, 1, {800})},
                      BadFile{"NanInterval", record(1, 0.0f, 0.0f, 2, {800, std::nanf("")})},
                      BadFile{"ZeroInterval", record(1, 0.0f, 0.0f, 2, {800, 0.0f})},
                      BadFile{"NegativeInterval", record(1, 0.0f, 0.0f, 2, {800, -3e37f})},
                      BadFile{"IntervalJustOverAMinute", record(1, 0.0f, 0.0f, 2, {800, 60000.01f})},
                      BadFile{"AbsurdInterval", record(1, 0.0f, 0.0f, 3, {6e23f, 800, 800})},
                      BadFile{"StartBeyondAWeek", record(1, 0.0f, 7 * 86400.0f + 100.0f, 1, {800})},
                      BadFile{"OffsetFarBeforeTheStart", record(1, -3e37f, 0.0f, 1, {800})}),
    [](const auto& info) { return std::string(info.param.name); });

// The reason names what is wrong and where, for the message that names the
// file; the longest plausible interval (60 s) is still read.
TEST_F(SeriesFile, RefusalsNameTheIntervalAndTheBound) {
  auto reason = [](const std::vector<std::uint8_t>& bytes) {
    auto r = parseIntervalSeries(bytes, true);
    return r ? std::string() : r.status().message();
  };
  EXPECT_EQ(reason(record(1, 0.0f, 0.0f, 3, {800, 800, -5})), "interval 3 is not positive (-5 ms)");
  EXPECT_EQ(reason(record(1, 0.0f, 0.0f, 2, {800, 6e23f})), "interval 2 is longer than 60 s (5.99999987e+23 ms)");
  EXPECT_EQ(reason(record(1, 0.0f, 0.0f, 1, {std::nanf("")})), "interval 1 is not a number");
  EXPECT_EQ(reason(record(1, 0.0f, 1e9f, 1, {800})), "segment 1 has a time beyond 604800 s");
  EXPECT_TRUE(parseIntervalSeries(record(1, 0.0f, 0.0f, 2, {60000.0f, 0.001f}), true));

  putBytes(file(), record(1, 0.0f, 0.0f, 1, {-1}));
  IntervalSeries s;
  const Status st = readIntervalSeries(file(), true, s);
  EXPECT_EQ(st.message(), file().string() + ": interval 1 is not positive (-1 ms)");
}

TEST_F(SeriesFile, RmsFileLayoutAndDamage) {
  RmsSeries rms{{1.0f, 2.0f}};
  ASSERT_TRUE(saveRmsSeries(file("RMS_1G.dat"), rms, ui));
  EXPECT_EQ(fileBytes(file("RMS_1G.dat")),
            (std::vector<std::uint8_t>{2, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0, 0x40}));
  RmsSeries back;
  ASSERT_TRUE(readRmsSeries(file("RMS_1G.dat"), back));
  EXPECT_EQ(back, rms);

  ASSERT_TRUE(writeRmsSeries(file("RMS_0.dat"), RmsSeries{}));
  EXPECT_EQ(fileBytes(file("RMS_0.dat")), (std::vector<std::uint8_t>{0, 0, 0, 0}));

  for (const auto& bad : {build({-1}), build({0x7FFFFFFF}, {1.0f}), build({3}, {1.0f, 2.0f}),
                          std::vector<std::uint8_t>{5, 0}}) {
    putBytes(file("RMS_bad.dat"), bad);
    RmsSeries kept = rms;
    EXPECT_FALSE(readRmsSeries(file("RMS_bad.dat"), kept));
    EXPECT_EQ(kept, rms);
  }
}

TEST(SeriesFileNames, PathsAndKindsFromTheFileName) {
  EXPECT_EQ(seriesFilePath("/data/Sess0001", SeriesKind::IbiFromEkg, "1A"),
            fs::path("/data/Sess0001/IBIFromEKG_1A.dat"));
  EXPECT_EQ(seriesFileName(SeriesKind::IbiFromBvp, "2B"), "IBIFromBVP_2B.dat");
  EXPECT_EQ(seriesFileName(SeriesKind::RespPeriod, "1C"), "RespPeriod_1C.dat");
  EXPECT_EQ(seriesFileName(SeriesKind::Rms, "4J"), "RMS_4J.dat");
  EXPECT_EQ(seriesKindFromPath("/x/IBIFromEKG_1A.dat"), SeriesKind::IbiFromEkg);
  EXPECT_EQ(seriesKindFromPath("/x/IBIFromBVP_1B.dat"), SeriesKind::IbiFromBvp);
  EXPECT_EQ(seriesKindFromPath("/x/RespPeriod_1C.dat"), SeriesKind::RespPeriod);
  EXPECT_EQ(seriesKindFromPath("RMS_1D.dat"), SeriesKind::Rms);
  // Only the file name counts, not the folders above it.
  EXPECT_EQ(seriesKindFromPath("/IBIFromEKG/IBIFromBVP_1B.dat"), SeriesKind::IbiFromBvp);
  EXPECT_EQ(seriesKindFromPath("/IBIFromEKG_1A/Session.dat"), std::nullopt);
  // The name has to begin with the prefix.
  EXPECT_EQ(seriesKindFromPath("/x/old_IBIFromEKG_1A.dat"), std::nullopt);
  EXPECT_EQ(seriesKindFromPath("/x/copy IBIFromBVP_1B.dat"), std::nullopt);
  EXPECT_EQ(seriesKindFromPath("/x/IBIFromEKG_1A (copy).dat"), SeriesKind::IbiFromEkg);
}

}  // namespace
}  // namespace rc
