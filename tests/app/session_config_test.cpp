#include "app/session_config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "analysis/protocol/settings.h"
#include "support/language.h"
#include "support/ui.h"
#include "support/xml_markup.h"
#include "support/xml_utf8.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

fs::path shippedTemplate() { return fs::path(RC_SOURCE_DIR) / "resources/program/HRVConfig.xml"; }

std::string readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& p, const std::string& b) { std::ofstream(p, std::ios::binary) << b; }

// Channel ids 1, 2, 6, 21 and 30 were recorded, at indexes 0 .. 4.
std::optional<std::size_t> lookup(std::uint32_t id) {
  const std::uint32_t ids[] = {1, 2, 6, 21, 30};
  for (std::size_t i = 0; i < std::size(ids); ++i)
    if (ids[i] == id) return i;
  return std::nullopt;
}

class SessionConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_cfg_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = dir_ / kSessionConfigFileName;
    language().set(1044, "Not found:");
    language().set(1151, "Empty.");
    language().set(1152, "Not XML.");
    language().set(198, "Cannot create:");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_, file_;
  ScriptedUi ui_;
};

TEST(ChannelLabel, EncoderAndLetter) {
  const std::pair<int, const char*> cases[] = {{1, "1A"},  {10, "1J"}, {11, "2A"}, {21, "3A"}, {30, "3J"},
                                               {40, "4J"}, {0, ""},    {-5, ""},   {41, ""}};
  for (auto [input, label] : cases) EXPECT_EQ(channelLabelOf(input), label) << input;
  EXPECT_EQ(sessionConfigPath("/data", 7, 12), fs::path("/data/Clients/7/Sess0012/HRVConfig.xml"));
}

TEST_F(SessionConfig, TemplateHasEveryElementAndNoChannels) {
  CXMLMarkup doc;
  ASSERT_TRUE(doc.Load(shippedTemplate()));
  ASSERT_TRUE(doc.IsWellFormed());
  SessionSignalSlots slots;
  slots[kSlotEkg].input = 3;
  readSignalPart(doc, slots, lookup);
  EXPECT_EQ(slots, SessionSignalSlots{});
  EXPECT_FALSE(readReconfig(doc));
  // Writing a full selection into the template only changes values.
  SignalPart part;
  part[0] = {{1, "EKG one", 4}};
  part[3] = {{21, "SC a", 6}, {30, "SC b", 6}};
  part[5] = {{6, "EMG raw", 19}, {2, "EMG", 2}};
  ASSERT_TRUE(setSignalPart(doc, part, true));
  const std::string before = readBytes(shippedTemplate());
  const std::string after = xmlEncodeUtf8(doc.GetDoc());
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), std::count(before.begin(), before.end(), '\n'));
}

TEST_F(SessionConfig, WrittenSelectionReadsBackIntoSlots) {
  ASSERT_EQ(ensureSessionConfig(file_, shippedTemplate(), ui_), EnsureResult::CreatedFromTemplate);
  SignalPart part;
  part[static_cast<int>(SignalKind::Ekg)] = {{1, "EKG <chest>", 4}};
  part[static_cast<int>(SignalKind::Bvp)] = {{2, "BVP & finger", 5}};
  part[static_cast<int>(SignalKind::Sc)] = {{21, "SC a", 6}, {30, "SC b", 6}};
  part[static_cast<int>(SignalKind::Emg)] = {{6, "EMG raw", 19}, {40, "EMG rms", 2}};
  ASSERT_TRUE(writeSignalPart(file_, part, true));

  CXMLMarkup doc;
  ASSERT_TRUE(doc.Load(file_));
  EXPECT_TRUE(readReconfig(doc));
  SessionSignalSlots slots;
  slots[kSlotEkg].input = 1;  // unchanged since the last reading
  slots[kSlotBvp].input = 3;
  readSignalPart(doc, slots, lookup);
  EXPECT_EQ(slots[kSlotEkg], (SessionSignalSlot{1, 0, "1A", "EKG <chest>", false, false}));
  EXPECT_EQ(slots[kSlotBvp], (SessionSignalSlot{2, 1, "1B", "BVP & finger", false, true}));
  EXPECT_EQ(slots[kSlotResp], SessionSignalSlot{});
  EXPECT_EQ(slots[kSlotSc1], (SessionSignalSlot{21, 3, "3A", "SC a", false, true}));
  EXPECT_EQ(slots[kSlotSc2], (SessionSignalSlot{30, 4, "3J", "SC b", false, true}));
  EXPECT_EQ(slots[kSlotTemp1], SessionSignalSlot{});
  EXPECT_EQ(slots[kSlotEmg1], (SessionSignalSlot{6, 2, "1F", "EMG raw", true, true}));
  EXPECT_EQ(slots[kSlotEmg2], (SessionSignalSlot{40, -1, "4J", "EMG rms", false, true}));
  EXPECT_EQ(loadAnalysisSettings(doc, true, true).ibiSource, 3);

  // Reading again: nothing changed.
  readSignalPart(doc, slots, lookup);
  for (const SessionSignalSlot& s : slots) EXPECT_FALSE(s.changed);
}

TEST_F(SessionConfig, IbiSourceFollowsTheSelection) {
  const std::pair<std::pair<bool, bool>, int> cases[] = {
      {{true, true}, 3}, {{true, false}, 2}, {{false, true}, 1}, {{false, false}, 1}};
  for (auto [sel, expected] : cases) {
    CXMLMarkup doc;
    ASSERT_TRUE(doc.Load(shippedTemplate()));
    SignalPart part;
    if (sel.first) part[0] = {{1, "e", 4}};
    if (sel.second) part[1] = {{2, "b", 5}};
    ASSERT_TRUE(setSignalPart(doc, part, false));
    doc.ResetPos();
    doc.FindElem();
    doc.FindChildElem("Settings");
    doc.IntoElem();
    ASSERT_TRUE(doc.FindChildElem("Setting1"));
    EXPECT_EQ(doc.GetChildDataUtf8(), std::to_string(expected));
  }
}

TEST_F(SessionConfig, DamagedSignalEntries) {
  CXMLMarkup doc(xmlDecodeUtf8(
      "<C><Signal><Type>EKG</Type><Count>1</Count><Input>-5</Input></Signal>"
      "<Signal><Type>BVP</Type><Count>1</Count><Input>41</Input></Signal>"
      "<Signal><Type>RESP</Type><Count>1</Count></Signal>"
      "<Signal><Type>TEMP</Type><Count>0</Count><Source1><Input>7</Input></Source1></Signal>"
      "<Signal><Type>MYO</Type><Count>2</Count><Source1><Input>5</Input><SensorType>2</SensorType></Source1>"
      "<Source2><Input>9</Input><SensorType>0</SensorType></Source2></Signal></C>"));
  SessionSignalSlots slots;
  readSignalPart(doc, slots, lookup);
  EXPECT_EQ(slots[kSlotEkg], SessionSignalSlot{});
  EXPECT_EQ(slots[kSlotBvp], SessionSignalSlot{});
  EXPECT_EQ(slots[kSlotResp], SessionSignalSlot{});
  EXPECT_EQ(slots[kSlotTemp1], SessionSignalSlot{});
  EXPECT_EQ(slots[kSlotEmg1].input, 5);
  EXPECT_FALSE(slots[kSlotEmg1].rawEmg);
  EXPECT_EQ(slots[kSlotEmg2].input, 9);
  EXPECT_TRUE(slots[kSlotEmg2].rawEmg);
}

TEST_F(SessionConfig, MissingElementsAreAddedNotDropped) {
  // An older file: no Source2 under SC, no MYO signal at all, no Settings.
  writeBytes(file_,
             "<HRVConfig>\n\t<Reconfig>0</Reconfig>\n\t<Signal>\n\t\t<Type>SC</Type>\n\t\t<Count>0</Count>\n"
             "\t\t<Source1>\n\t\t\t<Input>0</Input>\n\t\t</Source1>\n\t</Signal>\n</HRVConfig>\n");
  SignalPart part;
  part[static_cast<int>(SignalKind::Sc)] = {{21, "SC a", 6}, {22, "SC b", 6}};
  part[static_cast<int>(SignalKind::Emg)] = {{6, "EMG", 19}};
  ASSERT_TRUE(writeSignalPart(file_, part, false));
  CXMLMarkup doc;
  ASSERT_TRUE(doc.Load(file_));
  EXPECT_TRUE(doc.IsWellFormed()) << doc.GetErrorUtf8();
  SessionSignalSlots slots;
  readSignalPart(doc, slots, lookup);
  EXPECT_EQ(slots[kSlotSc1].description, "SC a");
  EXPECT_EQ(slots[kSlotSc2].input, 22);
  EXPECT_EQ(slots[kSlotSc2].description, "SC b");
  EXPECT_EQ(slots[kSlotEmg1].input, 6);
  EXPECT_TRUE(slots[kSlotEmg1].rawEmg);
  EXPECT_EQ(loadAnalysisSettings(doc, false, false).ibiSource, 1);
}

TEST_F(SessionConfig, CheckMessages) {
  EXPECT_FALSE(checkSessionConfig(file_, ui_));
  writeBytes(file_, "");
  EXPECT_FALSE(checkSessionConfig(file_, ui_));
  writeBytes(file_, "garbage, no markup");
  EXPECT_FALSE(checkSessionConfig(file_, ui_));
  writeBytes(file_, "<C/>");
  EXPECT_TRUE(checkSessionConfig(file_, ui_));
  ASSERT_EQ(ui_.records().size(), 3u);
  EXPECT_EQ(ui_.firstIds(), (std::vector<int>{1044, 1151, 1152}));
  EXPECT_EQ(ui_.records()[0].message.text, "Not found: " + file_.string());
  EXPECT_EQ(ui_.records()[2].message.text, "Not XML. " + file_.string());
  for (const auto& r : ui_.records()) EXPECT_EQ(r.icon, Icon::Warning);
}

TEST_F(SessionConfig, EnsureKeepsUsableFilesAndSavesUnusableOnes) {
  writeBytes(file_, "<C><Reconfig>1</Reconfig></C>");
  EXPECT_EQ(ensureSessionConfig(file_, shippedTemplate(), ui_), EnsureResult::Existing);
  EXPECT_EQ(readBytes(file_), "<C><Reconfig>1</Reconfig></C>");

  writeBytes(file_, "<<half written");
  EXPECT_EQ(ensureSessionConfig(file_, shippedTemplate(), ui_), EnsureResult::CreatedFromTemplate);
  EXPECT_EQ(readBytes(file_), readBytes(shippedTemplate()));
  EXPECT_EQ(readBytes(dir_ / "HRVConfig.xml.bad"), "<<half written");
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{1152});

  ui_.clear();
  fs::remove(file_);
  EXPECT_EQ(ensureSessionConfig(file_, dir_ / "no-template.xml", ui_), EnsureResult::Failed);
  ASSERT_EQ(ui_.records().size(), 1u);
  EXPECT_EQ(ui_.records()[0].message.text, "Cannot create: HRVConfig.xml");
}

}  // namespace
}  // namespace rc
