#include "analysis/protocol/settings_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "analysis/protocol/settings.h"
#include "support/language.h"
#include "support/ui.h"
#include "support/xml_markup.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

struct EntryCase {
  const char* name;
  const char* averaging;
  const char* nn;
  const char* variation;
  int messageId;  // 0: accepted
};

class SettingsValidation : public ::testing::TestWithParam<EntryCase> {
 protected:
  void SetUp() override { language().set(kMsgVariation, "Variation from 10 to %d percent."); }
};

TEST_P(SettingsValidation, OrderAndRanges) {
  const EntryCase& c = GetParam();
  SettingsDialogModel m = SettingsDialogModel::fromSettings(AnalysisSettings{});
  m.averagingFactor = c.averaging;
  m.nnInterval = c.nn;
  m.variation = c.variation;
  ScriptedUi ui;
  const std::optional<AnalysisSettings> s = m.accept(AnalysisSettings{}, ui);
  if (c.messageId == 0) {
    ASSERT_TRUE(s.has_value());
    EXPECT_TRUE(ui.records().empty());
  } else {
    EXPECT_FALSE(s.has_value());
    ASSERT_EQ(ui.records().size(), 1u);
    EXPECT_EQ(ui.firstIds(), std::vector<int>{c.messageId});
    EXPECT_EQ(ui.records()[0].icon, Icon::Warning);
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, SettingsValidation,
                         ::testing::Values(EntryCase{"AllValid", "32", "50", "20", 0},
                                           EntryCase{"Limits", "256", "2000", "100", 0},
                                           EntryCase{"LowLimits", "1", "10", "10,0", 0},
                                           EntryCase{"FractionalFactorFirst", "2.5", "5", "100.5", 230},
                                           EntryCase{"FactorZero", "0", "50", "20", 230},
                                           EntryCase{"FactorText", "abc", "50", "20", 230},
                                           EntryCase{"NnTooSmall", "32", "5", "100.5", 268},
                                           EntryCase{"NnFraction", "32", "50.5", "20", 268},
                                           EntryCase{"VariationAbove", "32", "50", "100.5", 441},
                                           EntryCase{"VariationNan", "32", "50", "nan", 441},
                                           EntryCase{"VariationInf", "32", "50", "inf", 441},
                                           EntryCase{"FactorInf", "inf", "50", "20", 230},
                                           EntryCase{"VariationEmpty", "32", "50", "", 441}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsDialog, VariationMessageNamesTheLimit) {
  language().set(kMsgVariation, "Variation from 10 to %d percent.");
  SettingsDialogModel m = SettingsDialogModel::fromSettings(AnalysisSettings{});
  m.nnInterval = "50";
  m.variation = "101";
  ScriptedUi ui;
  EXPECT_FALSE(m.accept(AnalysisSettings{}, ui));
  ASSERT_EQ(ui.records().size(), 1u);
  EXPECT_EQ(ui.records()[0].message.text, "Variation from 10 to 100 percent.");
}

TEST(SettingsDialog, BandUnitsRadioGroups) {
  AnalysisSettings s;
  s.bandUnits = 2;
  SettingsDialogModel m = SettingsDialogModel::fromSettings(s);
  EXPECT_TRUE(m.percentOfTotal);
  EXPECT_EQ(m.unitButton, -1);
  s.bandUnits = 1;
  m = SettingsDialogModel::fromSettings(s);
  EXPECT_FALSE(m.percentOfTotal);
  EXPECT_EQ(m.unitButton, 1);

  ScriptedUi ui;
  m.nnInterval = "50";
  auto unitsOnOk = [&] {
    const std::optional<AnalysisSettings> r = m.accept(s, ui);
    return r ? r->bandUnits : -1;
  };
  m.percentOfTotal = true;  // whatever unit button was selected last
  EXPECT_EQ(unitsOnOk(), 2);
  m.percentOfTotal = false;
  m.unitButton = 0;
  EXPECT_EQ(unitsOnOk(), 0);
  m.unitButton = 1;
  EXPECT_EQ(unitsOnOk(), 1);
  EXPECT_TRUE(ui.records().empty());
}

TEST(SettingsDialog, AcceptedValuesReplaceTheLoadedOnes) {
  AnalysisSettings loaded;
  loaded.zoom = 70;
  loaded.ibiSource = 3;
  SettingsDialogModel m = SettingsDialogModel::fromSettings(loaded);
  EXPECT_EQ(m.sourceChoice, 2);
  EXPECT_EQ(m.variation, "20");
  m.sourceChoice = 0;
  m.ekgType = 1;
  m.averagingFactor = "64.0";
  m.nnInterval = "25";
  m.variation = "12,5";
  ScriptedUi ui;
  const std::optional<AnalysisSettings> s = m.accept(loaded, ui);
  ASSERT_TRUE(s);
  AnalysisSettings expected = loaded;
  expected.ibiSource = 1;
  expected.ibiFromEkgType = 1;
  expected.averagingFactor = 64;
  expected.nnInterval = 25;
  expected.variation = 12.5;
  EXPECT_EQ(*s, expected);
}

class EpochLength : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = fs::temp_directory_path() / ("rc_epoch_" + std::to_string(::getpid()) + ".xml");
    fs::remove(file_);
  }
  void TearDown() override { fs::remove(file_); }
  fs::path file_;
  CXMLMarkup doc_{u"<C>\n\t<Settings>\n\t\t<EpochTime>60</EpochTime>\n\t</Settings>\n</C>"};
};

TEST_F(EpochLength, FailedRecomputationRestoresThePreviousLength) {
  int epochTime = 60;
  std::vector<int> computedWith;
  auto recompute = [&] {
    computedWith.push_back(epochTime);
    return epochTime <= 300;  // no complete 10-minute epoch in the session
  };
  EpochChangeOutcome out = changeEpochLength(600, epochTime, recompute, doc_, file_);
  EXPECT_FALSE(out.applied);
  EXPECT_FALSE(out.written);
  EXPECT_EQ(epochTime, 60);
  EXPECT_EQ(computedWith, (std::vector<int>{600, 60}));
  EXPECT_FALSE(fs::exists(file_));

  out = changeEpochLength(300, epochTime, recompute, doc_, file_);
  EXPECT_TRUE(out.applied && out.written && out.refreshEditor);
  EXPECT_TRUE(out.saved);
  EXPECT_EQ(epochTime, 300);
  CXMLMarkup back;
  ASSERT_TRUE(back.Load(file_));
  EXPECT_EQ(loadAnalysisSettings(back, true, true).epochTime, 300);

  fs::remove(file_);
  out = changeEpochLength(300, epochTime, recompute, doc_, file_);  // unchanged: nothing written
  EXPECT_TRUE(out.applied);
  EXPECT_FALSE(out.written);
  EXPECT_FALSE(fs::exists(file_));
}

TEST(ModeResolution, RowsEditsAndSave) {
  ModeResolutions current{1.0, 0.5, 1.0, 0.1, 0.1, 0.5};
  ModeResolutionModel few(current, false, false, false, false);
  ASSERT_EQ(few.rows().size(), 2u);
  EXPECT_EQ(few.rows()[0].signal, ModeSignal::HeartRate);
  EXPECT_EQ(few.rows()[1].signal, ModeSignal::Swing);

  ModeResolutionModel all(current, true, true, true, true);
  ASSERT_EQ(all.rows().size(), 6u);
  EXPECT_FALSE(all.edit(1, "0"));
  EXPECT_FALSE(all.edit(1, "-2"));
  EXPECT_FALSE(all.edit(1, "nan"));
  EXPECT_FALSE(all.edit(9, "1"));
  EXPECT_TRUE(all.edit(1, "0,25"));
  ModeResolutions expected = current;
  expected.respRate = 0.25;
  EXPECT_EQ(all.values(), expected);

  const fs::path file = fs::temp_directory_path() / ("rc_mode_" + std::to_string(::getpid()) + ".xml");
  CXMLMarkup doc(u"<C><Settings/></C>");
  AnalysisSettings settings;
  ASSERT_TRUE(saveModeResolutions(doc, file, all.values(), settings));
  EXPECT_EQ(settings.resolutions, expected);
  CXMLMarkup back;
  ASSERT_TRUE(back.Load(file));
  EXPECT_EQ(loadAnalysisSettings(back, true, true).resolutions, expected);
  fs::remove(file);
}

}  // namespace
}  // namespace rc
