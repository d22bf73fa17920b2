#include "app/signal_selection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/session_config.h"
#include "store/host_builder.h"
#include "store/records_channels.h"
#include "support/language.h"
#include "support/ui.h"
#include "support/xml_markup.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

std::vector<ChannelOption> channels(std::initializer_list<std::pair<int, int>> inputAndSensor) {
  std::vector<ChannelOption> out;
  for (auto [input, sensor] : inputAndSensor) out.push_back({input, sensor, "ch" + std::to_string(input)});
  return out;
}

class SignalSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::pair<int, const char*> texts[] = {
        {119, "EKG"}, {120, "BVP"},          {195, "Respiration"},  {217, "SC"},           {196, "Temp"},
        {197, "EMG"}, {117, "One for: %s."}, {116, "Two for: %s."}, {189, "Cannot write:"}};
    for (auto [id, text] : texts) language().set(id, text);
    dir_ = fs::temp_directory_path() / ("rc_sel_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = dir_ / kSessionConfigFileName;
    fs::copy_file(fs::path(RC_SOURCE_DIR) / "resources/program/HRVConfig.xml", file_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  SessionSignalSlots readBack() {
    CXMLMarkup doc;
    EXPECT_TRUE(doc.Load(file_));
    SessionSignalSlots slots;
    readSignalPart(doc, slots, nullptr);
    reconfig_ = readReconfig(doc);
    return slots;
  }

  fs::path dir_, file_;
  ScriptedUi ui_;
  bool reconfig_ = false;
};

TEST_F(SignalSelection, ListsBySensorType) {
  SignalSelectionModel m(channels(
      {{1, 4}, {2, 5}, {3, 8}, {4, 6}, {5, 7}, {6, 0}, {7, 1}, {8, 2}, {9, 19}, {10, 3}, {0, 4}, {41, 4}}));
  EXPECT_EQ(m.list(SignalKind::Ekg).size(), 1u);  // inputs 0 and 41 are not channels
  EXPECT_EQ(m.list(SignalKind::Bvp).size(), 1u);
  EXPECT_EQ(m.list(SignalKind::Resp).size(), 1u);
  EXPECT_EQ(m.list(SignalKind::Sc).size(), 1u);
  EXPECT_EQ(m.list(SignalKind::Temp).size(), 1u);
  ASSERT_EQ(m.list(SignalKind::Emg).size(), 4u);
  EXPECT_EQ(m.list(SignalKind::Emg)[3].input, 9);
  EXPECT_TRUE(m.needsDialog());
}

TEST_F(SignalSelection, NoDialogWhenEveryListFits) {
  SignalSelectionModel m(channels({{1, 4}, {11, 0}, {12, 19}}));
  EXPECT_FALSE(m.needsDialog());
  ASSERT_EQ(configureWithoutDialog(m, file_), SelectionStep::WrittenWithoutDialog);
  const SessionSignalSlots slots = readBack();
  EXPECT_FALSE(reconfig_);
  EXPECT_EQ(slots[kSlotEkg].input, 1);
  EXPECT_EQ(slots[kSlotEmg1].label, "2A");
  EXPECT_EQ(slots[kSlotEmg2].label, "2B");
  EXPECT_TRUE(slots[kSlotEmg2].rawEmg);

  SignalSelectionModel three(channels({{1, 4}, {11, 0}, {12, 19}, {13, 2}}));
  EXPECT_EQ(configureWithoutDialog(three, file_), SelectionStep::DialogNeeded);

  Status status;
  SignalSelectionModel fits(channels({{1, 4}}));
  EXPECT_EQ(configureWithoutDialog(fits, dir_ / "missing" / "HRVConfig.xml", &status),
            SelectionStep::WriteFailed);
  EXPECT_FALSE(status);
}

TEST_F(SignalSelection, OkChecksNameTheFailingKinds) {
  SignalSelectionModel m(
      channels({{1, 4}, {2, 4}, {3, 8}, {4, 8}, {5, 6}, {6, 6}, {7, 6}, {8, 7}, {9, 0}, {10, 0}, {11, 0}}));
  EXPECT_FALSE(acceptSelection(m, file_, ui_));
  m.setSelected(SignalKind::Ekg, 0, true);
  m.setSelected(SignalKind::Ekg, 1, true);  // single-select: replaces row 0
  EXPECT_EQ(m.selectedCount(SignalKind::Ekg), 1u);
  EXPECT_FALSE(acceptSelection(m, file_, ui_));
  m.setSelected(SignalKind::Resp, 0, true);
  m.setSelected(SignalKind::Sc, 1, true);
  m.setSelected(SignalKind::Emg, 0, true);
  m.setSelected(SignalKind::Emg, 2, true);
  EXPECT_FALSE(acceptSelection(m, file_, ui_));  // SC has 1 of 2, temperature none of its one
  m.setSelected(SignalKind::Sc, 2, true);
  m.setSelected(SignalKind::Temp, 0, true);
  ASSERT_TRUE(acceptSelection(m, file_, ui_));
  ASSERT_EQ(ui_.records().size(), 3u);
  EXPECT_EQ(ui_.firstIds(), (std::vector<int>{117, 117, 116}));
  EXPECT_EQ(ui_.records()[0].message.text, "One for: EKG, Respiration.");
  EXPECT_EQ(ui_.records()[1].message.text, "One for: Respiration.");
  EXPECT_EQ(ui_.records()[2].message.text, "Two for: SC, Temp.");

  const SessionSignalSlots slots = readBack();
  EXPECT_TRUE(reconfig_);
  EXPECT_EQ(slots[kSlotEkg].input, 2);
  EXPECT_EQ(slots[kSlotResp].input, 3);
  EXPECT_EQ(slots[kSlotSc1].input, 6);
  EXPECT_EQ(slots[kSlotSc2].input, 7);
  EXPECT_EQ(slots[kSlotTemp1].input, 8);
  EXPECT_EQ(slots[kSlotTemp2].input, 0);
  EXPECT_EQ(slots[kSlotEmg1].input, 9);
  EXPECT_EQ(slots[kSlotEmg2].input, 11);
}

TEST_F(SignalSelection, FailedWriteKeepsTheDialogOpen) {
  SignalSelectionModel m(channels({{1, 4}}));
  m.selectAll();
  const fs::path missing = dir_ / "gone" / kSessionConfigFileName;
  EXPECT_FALSE(acceptSelection(m, missing, ui_));
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{189});
}

TEST_F(SignalSelection, ChannelOptionsFromAChannelSetDatabase) {
  Result<HostDbBuilder> b =
      HostDbBuilder::create(HostDbKind::ChannelSet, fs::path(RC_SOURCE_DIR) / "resources/schema");
  ASSERT_TRUE(b) << b.status().message();
  PhysicalChannelsRow ekg;
  ekg.PChannelNumber = 1;
  ekg.SensorType = 4;
  ekg.Description = "EKG chest";
  PhysicalChannelsRow emg;
  emg.PChannelNumber = 12;
  emg.SensorType = 19;
  emg.Description = "EMG trapezius";
  b->add(ekg).add(emg);
  const std::vector<ChannelOption> options = readChannelOptions(b->database());
  EXPECT_EQ(options, (std::vector<ChannelOption>{{1, 4, "EKG chest"}, {12, 19, "EMG trapezius"}}));
}

TEST_F(SignalSelection, ChoosersListFilesByEncoderProtocol) {
  const fs::path channels = dir_ / "Channels";
  fs::create_directories(channels / "folder.chs");
  for (const char* n : {"b.chs", "A.CHS", "c.prt", "notes.txt"}) std::ofstream(channels / n) << "x";
  EXPECT_EQ(listChooserFiles(channels, ".chs"), (std::vector<std::string>{"A.CHS", "b.chs"}));
  EXPECT_TRUE(listChooserFiles(dir_ / "Scripts", ".prt").empty());

  const fs::path schema = fs::path(RC_SOURCE_DIR) / "resources/schema";
  Result<HostDbBuilder> unit = HostDbBuilder::create(HostDbKind::EncoderUnit, schema);
  ASSERT_TRUE(unit) << unit.status().message();
  EncoderProtocolRow p5, p2;
  p5.ProtocolID = 5;
  p5.ProtocolName = "Five";
  p2.ProtocolID = 2;
  p2.ProtocolName = "Two";
  unit->add(p5).add(p2);
  const std::vector<EncoderProtocolInfo> protocols = readEncoderProtocols(unit->database());
  EXPECT_EQ(protocols, (std::vector<EncoderProtocolInfo>{{2, "Two"}, {5, "Five"}}));

  Result<HostDbBuilder> set = HostDbBuilder::create(HostDbKind::ChannelSet, schema);
  ASSERT_TRUE(set);
  EXPECT_EQ(channelSetProtocol(set->database()), std::nullopt);
  SetInfoRow info;
  info.ProtocolID = 5;
  set->add(info);
  EXPECT_EQ(channelSetProtocol(set->database()), 5);

  ChooserModel m(protocols, {{"A.CHS", 5}, {"b.chs", 2}, {"any.chs", std::nullopt}}, 9);
  EXPECT_EQ(m.protocol(), 2);  // 9 is unknown: the first protocol
  EXPECT_EQ(m.names(), (std::vector<std::string>{"b.chs", "any.chs"}));
  m.setProtocol(5);
  EXPECT_EQ(m.choose(0), "A.CHS");
  EXPECT_EQ(m.choose(2), std::nullopt);
}

}  // namespace
}  // namespace rc
