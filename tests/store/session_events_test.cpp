#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <limits>

#include "store/channel_segments.h"
#include "store/events.h"
#include "support/binary.h"
#include "support/file_io.h"
#include "support/language.h"
#include "support/utf.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> record144(std::uint32_t kind, double time, const std::u16string& name,
                                    std::size_t units = 0) {
  ByteWriter w;
  w.u32(kind);
  w.u32(0xDEADBEEF);  // the unused word is ignored on reading
  w.f64(time);
  for (std::size_t k = 0; k < 64; ++k) w.u16(k < name.size() ? name[k] : (units ? u'x' : 0));
  return w.take();
}

std::vector<std::uint8_t> record80(std::uint32_t kind, double time, const std::string& name) {
  ByteWriter w;
  w.u32(kind);
  w.u32(0);
  w.f64(time);
  for (std::size_t k = 0; k < 64; ++k) w.u8(k < name.size() ? static_cast<std::uint8_t>(name[k]) : 0);
  return w.take();
}

std::vector<std::uint8_t> concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class EventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_ev_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    language().set(368, "The events file is damaged.");
    language().set(369, "Host event");
    language().set(370, "Host note");
    language().set(371, "Event");
    language().set(189, "The file could not be created:");
  }
  void TearDown() override {
    ::chmod(dir_.c_str(), 0700);
    fs::remove_all(dir_);
  }
  fs::path file() const { return dir_ / "Events.dat"; }
  fs::path dir_;
  ScriptedUi ui_;
};

TEST_F(EventsTest, InsertionKeepsTimeOrderAndOrderOfEqualTimes) {
  EventList list;
  list.add(1, 5.0, u"b");
  list.add(1, 2.0, u"a");
  list.add(5, 5.0, u"c");
  list.add(9, 1.0, u"dropped");
  list.add(6, 0.5, u"d");
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list.events()[0].name, u"d");
  EXPECT_EQ(list.events()[1].name, u"a");
  EXPECT_EQ(list.events()[2].name, u"b");
  EXPECT_EQ(list.events()[3].name, u"c");
}

// A NaN time compares with nothing: it goes where a front-to-back search for
// the first later event puts it (the end), and so do the events after it.
TEST_F(EventsTest, NaNTimesKeepTheFrontToBackPlacement) {
  EventList list;
  list.add(1, 1.0, u"a");
  list.add(1, std::numeric_limits<double>::quiet_NaN(), u"nan");
  list.add(1, 3.0, u"c");
  list.add(1, 0.5, u"z");
  list.add(1, 2.0, u"b");
  std::u16string order;
  for (const TSessionEvent& e : list.events()) order += e.name + u" ";
  EXPECT_EQ(order, u"z a nan b c ");
  list.clear();
  for (double t : {4.0, 1.0, 3.0, 1.0, 2.0}) list.add(1, t, u"x");
  for (std::size_t i = 1; i < list.size(); ++i) EXPECT_LE(list.events()[i - 1].time, list.events()[i].time);
}

TEST_F(EventsTest, RecordSizeIsChosenByFileLength) {
  // 720 bytes: five 144-byte records (not nine 80-byte ones).
  std::vector<std::uint8_t> five;
  for (int i = 0; i < 5; ++i) five = concat({five, record144(1, i, u"m")});
  EventList a;
  ASSERT_TRUE(a.parse(five));
  EXPECT_EQ(a.size(), 5u);
  // 160 bytes: two 80-byte records, names widened through Windows-1252.
  EventList b;
  ASSERT_TRUE(b.parse(concat({record80(5, 1.0, "Caf\xE9"), record80(6, 2.0, "\x80 sign")})));
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b.events()[0].name, u"Caf\u00E9");
  EXPECT_EQ(b.events()[1].name, u"\u20AC sign");
}

TEST_F(EventsTest, NameWithoutTerminatorKeeps63Units) {
  EventList list;
  ASSERT_TRUE(list.parse(record144(1, 1.0, u"", 64)));
  EXPECT_EQ(list.events()[0].name, std::u16string(63, u'x'));
}

TEST_F(EventsTest, DamagedFilesClearTheListWarnAndStayUntouched) {
  for (std::vector<std::uint8_t> bytes :
       {std::vector<std::uint8_t>(100, 1), concat({record144(1, 1, u"a"), std::vector<std::uint8_t>(10, 0)})}) {
    ASSERT_TRUE(writeFileAtomic(file(), bytes));
    EventList list;
    list.add(1, 0.0, u"old");
    ui_.clear();
    EXPECT_EQ(list.read(dir_, ui_), EventList::ReadOutcome::Damaged);
    EXPECT_TRUE(list.empty());
    ASSERT_EQ(ui_.records().size(), 1u);
    EXPECT_EQ(ui_.records()[0].message.ids, std::vector<int>{368});
    EXPECT_EQ(ui_.records()[0].icon, Icon::Warning);
    EXPECT_EQ(*readWholeFile(file()), bytes);
  }
}

TEST_F(EventsTest, DefaultNamesAndRewriteKeepOnlyHostAndUserKinds) {
  auto bytes = concat({record144(1, 3.0, u""), record144(0, 0.5, u""), record144(1, 1.0, u""),
                       record144(5, 2.0, u""), record144(6, 2.5, u"note"), record144(1, 4.0, u"")});
  ASSERT_TRUE(writeFileAtomic(file(), bytes));
  EventList list;
  ASSERT_EQ(list.read(dir_, ui_), EventList::ReadOutcome::Read);
  EXPECT_TRUE(ui_.records().empty());
  std::vector<std::u16string> names;
  for (const auto& e : list.events()) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Event", u"UM1", u"Host event", u"note", u"UM2", u"UM3"}));

  // The file was rewritten: the kind-0 event is gone, names are stored.
  EventList again;
  ASSERT_TRUE(again.parse(*readWholeFile(file())));
  ASSERT_EQ(again.size(), 5u);
  EXPECT_EQ(again.events()[0].name, u"UM1");
  EXPECT_EQ(again.events()[0].kind, 1u);
  for (const auto& e : again.events()) EXPECT_NE(e.kind, 0u);
}

TEST_F(EventsTest, FailedRewriteKeepsTheOldFile) {
  auto bytes = record144(1, 3.0, u"");
  ASSERT_TRUE(writeFileAtomic(file(), bytes));
  EventList list;
  list.add(1, 1.0, u"new");
  testing::failNextAtomicCommit();
  EXPECT_FALSE(list.write(dir_));
  EXPECT_EQ(*readWholeFile(file()), bytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(EventsTest, SerialisedRecordLayout) {
  EventList list;
  list.add(5, 1.5, u"Ab");
  auto bytes = list.serialise();
  ASSERT_EQ(bytes.size(), 144u);
  ByteReader r(bytes);
  EXPECT_EQ(*r.u32(0), 5u);
  EXPECT_EQ(*r.u32(4), 0u);
  EXPECT_EQ(*r.f64(8), 1.5);
  EXPECT_EQ(*r.u16(16), u'A');
  EXPECT_EQ(*r.u16(18), u'b');
  EXPECT_EQ(*r.u16(20), 0);
}

TEST_F(EventsTest, StretchesRoundTripAndEmptyListDeletesReadableFile) {
  std::vector<TSessionSegment> list{{1.25, 3.5, 7}, {10.0, 12.0, 21}};
  auto bytes = serialiseStretches(list);
  ASSERT_EQ(bytes.size(), 48u);
  EXPECT_EQ(parseStretches(bytes), list);
  bytes.resize(40);  // partial record ignored
  EXPECT_EQ(parseStretches(bytes).size(), 1u);

  StretchFile sf;
  EXPECT_TRUE(sf.read(dir_).empty());
  sf.saveAtClose(dir_, list, true, ui_);
  StretchFile again;
  EXPECT_EQ(again.read(dir_), list);
  again.saveAtClose(dir_, {}, true, ui_);
  EXPECT_FALSE(fs::exists(dir_ / "ChannelSegments.dat"));
  EXPECT_TRUE(ui_.records().empty());
}

TEST_F(EventsTest, UnreadableStretchFileSurvivesClose) {
  auto bytes = serialiseStretches({{1, 2, 3}});
  fs::path f = dir_ / "ChannelSegments.dat";
  ASSERT_TRUE(writeFileAtomic(f, bytes));
  if (::geteuid() == 0) {
    // Permissions do not bind root: stand in a folder of that name for an unreadable file.
    fs::remove(f);
    fs::create_directory(f);
  } else {
    ::chmod(f.c_str(), 0);
  }
  StretchFile sf;
  EXPECT_TRUE(sf.read(dir_).empty());
  EXPECT_TRUE(sf.unreadable());
  sf.saveAtClose(dir_, {}, false, ui_);
  EXPECT_TRUE(fs::exists(f));
  if (::geteuid() != 0) {
    ::chmod(f.c_str(), 0600);
    EXPECT_EQ(*readWholeFile(f), bytes);
  }
}

TEST_F(EventsTest, StretchesThatCannotBeSavedAreReported) {
  StretchFile sf;
  fs::path gone = dir_ / "no-such-session";
  sf.saveAtClose(gone, {{1, 2, 3}}, true, ui_);
  ASSERT_EQ(ui_.records().size(), 1u);
  EXPECT_EQ(ui_.records()[0].message.ids, std::vector<int>{189});
  EXPECT_EQ(ui_.records()[0].icon, Icon::Warning);
  EXPECT_NE(ui_.records()[0].message.text.find("ChannelSegments.dat"), std::string::npos);
}

}  // namespace
}  // namespace rc
