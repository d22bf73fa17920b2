#include "analysis/protocol/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "analysis/protocol/settings_dialog.h"
#include "support/file_io.h"
#include "support/language.h"
#include "support/xml_markup.h"
#include "support/xml_utf8.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

std::u16string configWith(const std::string& settingsBody) {
  return xmlDecodeUtf8("<HRVConfiguration>\n\t<Reconfig>0</Reconfig>\n\t<Settings>\n" + settingsBody +
                       "\t</Settings>\n</HRVConfiguration>\n");
}

std::string readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_settings_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = dir_ / "HRVConfig.xml";
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_, file_;
};

TEST(SettingsLoad, ShippedTemplate) {
  CXMLMarkup doc;
  ASSERT_TRUE(doc.Load(fs::path(RC_SOURCE_DIR) / "resources/program/HRVConfig.xml"));
  ASSERT_TRUE(doc.IsWellFormed()) << doc.GetErrorUtf8();
  const AnalysisSettings s = loadAnalysisSettings(doc, true, false);
  EXPECT_EQ(s.epochTime, 60);
  EXPECT_EQ(s.averagingFactor, 32);
  EXPECT_EQ(s.nnInterval, 50);
  EXPECT_DOUBLE_EQ(s.variation, 20.0);
  EXPECT_DOUBLE_EQ(s.resolutions.respRate, 0.5);
  EXPECT_EQ(s.vertOffset, -10);
  EXPECT_EQ(s.ibiSource, 2);
}

TEST(SettingsLoad, MissingValuesTakeTheTableDefaults) {
  CXMLMarkup doc(configWith("\t\t<Variation>0</Variation>\n\t\t<EpochTime></EpochTime>\n"));
  AnalysisSettings s = loadAnalysisSettings(doc, true, true);
  EXPECT_DOUBLE_EQ(s.variation, 20.0);
  EXPECT_EQ(s.epochTime, 60);
  EXPECT_EQ(s.averagingFactor, 1);
  EXPECT_EQ(s.nnInterval, 0);
  EXPECT_EQ(s.ibiSource, 3);
  EXPECT_EQ(loadAnalysisSettings(doc, false, true).ibiSource, 1);
  EXPECT_EQ(loadAnalysisSettings(doc, true, false).ibiSource, 2);
  EXPECT_EQ(loadAnalysisSettings(doc, false, false).ibiSource, 1);
  CXMLMarkup noSettings(u"<HRVConfiguration/>");
  AnalysisSettings defaults;
  defaults.ibiSource = 1;
  EXPECT_EQ(loadAnalysisSettings(noSettings, false, false), defaults);
}

TEST(SettingsLoad, DamagedValuesTakeDefaultsAndTheDocumentIsUntouched) {
  const std::string body =
      "<IBIFromEKGType>7</IBIFromEKGType><RespirationOption>-1</RespirationOption>"
      "<AveragingFactor>100000</AveragingFactor><EpochTime>45</EpochTime><BandUnits>7</BandUnits>"
      "<HeartRateResolution>-1.5</HeartRateResolution><SCResolution>nan</SCResolution>"
      "<TempResolution>inf</TempResolution><StatisticOption>9</StatisticOption>"
      "<Variation>1000</Variation><Setting1>9</Setting1><NNInterval>-50</NNInterval>"
      "<TimeFrame>-5</TimeFrame><EMGResolution>0,250</EMGResolution>";
  CXMLMarkup doc(configWith(body));
  const std::u16string before = doc.GetDoc();
  const AnalysisSettings s = loadAnalysisSettings(doc, true, false);
  EXPECT_EQ(s.ibiFromEkgType, 0);
  EXPECT_EQ(s.respirationOption, 0);
  EXPECT_EQ(s.averagingFactor, 256);
  EXPECT_EQ(s.epochTime, 60);
  EXPECT_EQ(s.bandUnits, 0);
  EXPECT_EQ(s.resolutions.heartRate, 0.0);
  EXPECT_EQ(s.resolutions.sc, 0.0);
  EXPECT_EQ(s.resolutions.temp, 0.0);
  EXPECT_DOUBLE_EQ(s.resolutions.emg, 0.25);
  EXPECT_EQ(s.statisticOption, 0);
  EXPECT_DOUBLE_EQ(s.variation, 20.0);
  EXPECT_EQ(s.ibiSource, 2);
  EXPECT_EQ(s.nnInterval, 0);
  EXPECT_EQ(s.timeFrame, 0);
  EXPECT_EQ(doc.GetDoc(), before);
  CXMLMarkup negative(configWith("<AveragingFactor>-3</AveragingFactor><Variation>-5</Variation>"));
  EXPECT_EQ(loadAnalysisSettings(negative, true, true).averagingFactor, 1);
  EXPECT_DOUBLE_EQ(loadAnalysisSettings(negative, true, true).variation, 20.0);
}

// Reals are data: "." on disk under every locale, either separator on input.
TEST_F(SettingsFile, RealsIgnoreTheNumericLocale) {
  const std::string old = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
  EXPECT_EQ(formatSettingReal(0.5), "0.500");
  CXMLMarkup doc(
      configWith("\t\t<MaxMinResolution>0.500</MaxMinResolution>\n"
                 "\t\t<SCResolution>0,500</SCResolution>\n"));
  AnalysisSettings s = loadAnalysisSettings(doc, true, true);
  EXPECT_DOUBLE_EQ(s.resolutions.maxMin, 0.5);
  EXPECT_DOUBLE_EQ(s.resolutions.sc, 0.5);
  AnalysisSettings changed = s;
  changed.variation = 12.5;
  ASSERT_TRUE(saveChangedSettings(doc, file_, s, changed).saved);
  std::setlocale(LC_ALL, old.c_str());
  EXPECT_NE(readBytes(file_).find("<Variation>12.500</Variation>"), std::string::npos);
  CXMLMarkup back;
  ASSERT_TRUE(back.Load(file_));
  EXPECT_DOUBLE_EQ(loadAnalysisSettings(back, true, true).variation, 12.5);
}

TEST_F(SettingsFile, OnlyChangedValuesAreWrittenAndMissingOnesAdded) {
  const std::string body =
      "\t\t<IBIFromEKGType>0</IBIFromEKGType>\n\t\t<AveragingFactor>32</AveragingFactor>\n"
      "\t\t<Setting1>3</Setting1>\n";
  CXMLMarkup doc(configWith(body));
  const AnalysisSettings loaded = loadAnalysisSettings(doc, true, true);

  SettingsSaveOutcome none = saveChangedSettings(doc, file_, loaded, loaded);
  EXPECT_EQ(none.effects, SettingsEffects{});
  EXPECT_FALSE(fs::exists(file_));

  AnalysisSettings edited = loaded;
  edited.variation = 35.0;  // the file has no "Variation" element
  edited.ibiFromEkgType = 1;
  SettingsSaveOutcome out = saveChangedSettings(doc, file_, loaded, edited);
  ASSERT_TRUE(out.saved);
  EXPECT_EQ(out.effects, (SettingsEffects{.regenerateEkgIbi = true, .recompute = true}));
  EXPECT_EQ(
      readBytes(file_),
      "<HRVConfiguration>\n\t<Reconfig>0</Reconfig>\n\t<Settings>\n\t\t<IBIFromEKGType>1</IBIFromEKGType>\n"
      "\t\t<AveragingFactor>32</AveragingFactor>\n\t\t<Setting1>3</Setting1>\n"
      "\t\t<Variation>35.000</Variation>\n\t</Settings>\n</HRVConfiguration>\n");
  CXMLMarkup reopened;
  ASSERT_TRUE(reopened.Load(file_));
  EXPECT_EQ(loadAnalysisSettings(reopened, true, true), edited);

  // A document without "Settings" gets one.
  CXMLMarkup bare(u"<HRVConfiguration>\n</HRVConfiguration>");
  ASSERT_TRUE(writeSettingInt(bare, "EpochTime", 300));
  EXPECT_EQ(loadAnalysisSettings(bare, true, true).epochTime, 300);
  CXMLMarkup empty;
  EXPECT_FALSE(writeSettingInt(empty, "EpochTime", 300));
}

TEST(SettingsEffects, WhatEachChangeTriggers) {
  const AnalysisSettings a;
  auto with = [&](auto change) {
    AnalysisSettings b = a;
    change(b);
    return effectsOfChange(a, b);
  };
  EXPECT_EQ(with([](AnalysisSettings& s) { s.ibiFromBvpType = 1; }),
            (SettingsEffects{.regenerateBvpIbi = true, .recompute = true}));
  EXPECT_EQ(with([](AnalysisSettings& s) { s.respirationOption = 1; }),
            (SettingsEffects{.regenerateRespiration = true, .recompute = true}));
  EXPECT_EQ(with([](AnalysisSettings& s) { s.averagingFactor = 64; }),
            (SettingsEffects{.regenerateRms = true, .recompute = true}));
  EXPECT_EQ(with([](AnalysisSettings& s) { s.ibiSource = 1; }),
            (SettingsEffects{.reloadSources = true, .recompute = true}));
  EXPECT_EQ(with([](AnalysisSettings& s) { s.nnInterval = 20; }), (SettingsEffects{.recompute = true}));
  EXPECT_EQ(with([](AnalysisSettings&) {}), SettingsEffects{});
}

TEST_F(SettingsFile, FailedSaveIsReportedAndKeepsTheFile) {
  CXMLMarkup doc(configWith("\t\t<NNInterval>50</NNInterval>\n"));
  ASSERT_TRUE(doc.Save(file_));
  const std::string before = readBytes(file_);
  const AnalysisSettings loaded = loadAnalysisSettings(doc, true, true);
  AnalysisSettings edited = loaded;
  edited.nnInterval = 100;
  testing::failNextAtomicCommit();
  SettingsSaveOutcome out = saveChangedSettings(doc, file_, loaded, edited);
  EXPECT_FALSE(out.saved);
  EXPECT_TRUE(out.effects.recompute);
  EXPECT_EQ(readBytes(file_), before);
}

}  // namespace
}  // namespace rc
