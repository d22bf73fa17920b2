// Spreadsheet report definitions: the settings and save dialogs' checks in
// their order, the whole edit flow with a scripted user interface, selection
// mode, and generation from crafted definition files that must never reach
// outside the reports folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "reports/definitions/definition_editor.h"
#include "reports/definitions/definition_generate.h"
#include "reports/docx/docx_document.h"
#include "support/file_io.h"
#include "support/language.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

// The ids of the messages and questions shown (documents opened left out).
std::vector<int> shownIds(const ScriptedUi& ui) {
  std::vector<int> ids;
  for (const auto& r : ui.records())
    if (r.kind != ScriptedUi::Kind::OpenDocument && r.kind != ScriptedUi::Kind::ChooseFile)
      ids.push_back(r.message.ids.empty() ? 0 : r.message.ids.front());
  return ids;
}

class LanguageLoaded : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(loadLanguage(RC_PROGRAM_DIR)); }
};

// ---- settings dialog ----

struct SettingsCase {
  const char* what;
  DefinitionSettingsForm form;
  int message;           // 0: accepted
  const char* ibi;       // stored names when accepted
  const char* periodic;
};

DefinitionSettingsForm form(std::string ibi, std::string periodic, std::string workbook, std::string nn,
                            bool perEpoch = false) {
  DefinitionSettingsForm f;
  f.ibi = std::move(ibi);
  f.periodic = std::move(periodic);
  f.workbook = std::move(workbook);
  f.nnText = std::move(nn);
  f.filePerEpoch = perEpoch;
  return f;
}

class SettingsChecks : public LanguageLoaded, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsChecks, InOrder) {
  SettingsCase c = GetParam();
  ScriptedUi ui;
  ReportDefinition d;
  const bool ok = acceptDefinitionSettings(c.form, d, ui);
  if (c.message == 0) {
    ASSERT_TRUE(ok) << c.what;
    EXPECT_TRUE(ui.records().empty());
    EXPECT_EQ(d.ibiFileName, c.ibi);
    EXPECT_EQ(d.periodicStatFileName, c.periodic);
  } else {
    EXPECT_FALSE(ok) << c.what;
    EXPECT_EQ(ui.firstIds(), std::vector<int>{c.message}) << c.what;
    EXPECT_EQ(d, ReportDefinition{}) << "nothing stored on a refusal";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, SettingsChecks,
    ::testing::Values(SettingsCase{"no export name", form("", " ", "", "5"), 414, "", ""},
                      SettingsCase{"a slash before the missing workbook", form("a/b", "", "", "50"), 409, "", ""},
                      SettingsCase{"a percent sign", form("", "p%d", "R.xlsx", "50"), 409, "", ""},
                      SettingsCase{"no workbook", form("data.csv", "", "", "50"), 415, "", ""},
                      SettingsCase{"threshold too small", form("x", "", "R.xlsx", "9"), 268, "", ""},
                      SettingsCase{"threshold not a number", form("x", "", "R.xlsx", "fifty"), 268, "", ""},
                      SettingsCase{"names normalised", form("data.csv", "periodic", "R.xlsx", "2000"), 0, "data.txt",
                                   "periodic.txt"},
                      SettingsCase{"per-epoch IBI name loses its extension", form("data.csv", "p.x.dat", "R.xlsx", "10", true),
                                   0, "data", "p.x.txt"}));

TEST_F(LanguageLoaded, SettingsWithoutIbiFileStoreItsFlagsAsNoneNoneOne) {
  ScriptedUi ui;
  ReportDefinition d;
  DefinitionSettingsForm f = form("", "p", "R.xlsx", "50");
  f.timeColumn = f.integerIbi = true;
  f.filePerEpoch = false;
  f.epochIndex = 3;
  f.unitsChoice = 2;
  ASSERT_TRUE(acceptDefinitionSettings(f, d, ui));
  EXPECT_EQ(d.timeColumn, 0);
  EXPECT_EQ(d.integerIbi, 0);
  EXPECT_EQ(d.filePerEpoch, 1);
  EXPECT_EQ(d.epochTime, 600);
  EXPECT_EQ(d.units, 2);
}

// ---- save dialog ----

class SaveChecks : public LanguageLoaded {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rc_defsave_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "Existing.XML") << "<HRVExcelReport/>";
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::optional<std::string> save(const std::string& description, const std::string& name, ScriptedUi& ui) {
    SaveDefinitionForm f{description, name};
    return acceptSaveDefinition(f, dir_, ui);
  }
  fs::path dir_;
};

TEST_F(SaveChecks, RefusalsInOrder) {
  const std::vector<std::tuple<std::string, std::string, int>> cases = {
      {"", "a:b", 407}, {"D", " a:b ", 409}, {"D", "a\\b", 409}, {"D", ".xml", 408}, {"D", "   ", 408}};
  for (const auto& [description, name, id] : cases) {
    ScriptedUi ui;
    EXPECT_FALSE(save(description, name, ui)) << name;
    EXPECT_EQ(ui.firstIds(), std::vector<int>{id}) << name;
  }
}

TEST_F(SaveChecks, ExtensionAddedOrReplacedAndSameNameAsked) {
  ScriptedUi ui;
  EXPECT_EQ(save("D", " Report ", ui), "Report.xml");
  EXPECT_TRUE(ui.records().empty());
  EXPECT_EQ(save("D", "Report.txt", ui), "Report.xml");
  EXPECT_EQ(ui.firstIds(), std::vector<int>{410});
  // A definition of the same name in another case: asked, No keeps the dialog open.
  ScriptedUi no;
  no.answer(false);
  EXPECT_FALSE(save("D", "existing", no));
  ASSERT_EQ(no.records().size(), 1u);
  EXPECT_EQ(no.records()[0].kind, ScriptedUi::Kind::YesNo);
  EXPECT_NE(no.records()[0].message.text.find("existing.xml"), std::string::npos);
  ScriptedUi yes;
  yes.answer(true);
  EXPECT_EQ(save("D", "existing", yes), "Existing.XML");  // the existing file is replaced
}

// ---- the edit flow ----

class ScriptedDialogs : public DefinitionEditorDialogs {
 public:
  std::optional<ProtocolChoice> protocol = ProtocolChoice{1, "Standard EKG", 7, 1, 0};
  std::function<void(DefinitionSettingsForm&)> fill = [](DefinitionSettingsForm& f) {
    f.ibi = "ibi.csv";
    f.session = "session";
    f.workbook = "R.xlsx";
    f.nnText = "30";
  };
  SaveDefinitionForm saveForm{"Weekly HRV", "weekly"};
  UserInterface* ui = nullptr;
  int settingsShown = 0;

  std::optional<ProtocolChoice> chooseProtocol(const ReportDefinition&, int) override { return protocol; }
  bool editSettings(ReportDefinition& d, const std::vector<std::string>& workbooks) override {
    ++settingsShown;
    workbooks_ = workbooks;
    DefinitionSettingsForm f = settingsFormOf(d);
    fill(f);
    return acceptDefinitionSettings(f, d, *ui);
  }
  std::optional<std::string> saveAs(ReportDefinition& d, const fs::path& folder) override {
    d.description = saveForm.description;
    SaveDefinitionForm f = saveForm;
    return acceptSaveDefinition(f, folder, *ui);
  }
  std::vector<std::string> workbooks_;
};

class EditFlow : public LanguageLoaded {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("rc_defedit_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / kReportsFolderName);
    std::ofstream(root_ / kReportsFolderName / "R.xlsx") << "workbook";
    std::ofstream(root_ / kReportsFolderName / "Other.ods") << "workbook";
    std::ofstream(root_ / kAppSettingsName) << "<Rhythmcraft>\n\t<CommProtocol>3</CommProtocol>\n</Rhythmcraft>\n";
    dialogs_.ui = &ui_;
  }
  void TearDown() override { fs::remove_all(root_); }
  ExcelReportEditorModel editor(EditorMode mode = EditorMode::Editing, std::optional<std::string> filter = {}) {
    return ExcelReportEditorModel(RC_PROGRAM_DIR, root_, mode, std::move(filter), ui_, dialogs_);
  }
  fs::path folder() const { return root_ / kReportsFolderName; }
  void writeDefinition(const std::string& file, const std::string& body) {
    std::ofstream(folder() / file) << "<HRVExcelReport>" << body << "</HRVExcelReport>";
  }

  fs::path root_;
  ScriptedUi ui_;
  ScriptedDialogs dialogs_;
};

TEST_F(EditFlow, TemplateHoldsEveryKey) {
  CXMLMarkup doc;
  ASSERT_TRUE(doc.Load(fs::path(RC_PROGRAM_DIR) / kDefinitionTemplateName));
  ASSERT_TRUE(doc.FindElem());
  for (const std::string& key : definitionKeys()) {
    doc.ResetChildPos();
    EXPECT_TRUE(doc.FindChildElem(key)) << key;
  }
}

TEST_F(EditFlow, AddEditSummaryDelete) {
  auto e = editor();
  e.refill();
  EXPECT_EQ(e.commProtocol(), 3);
  EXPECT_TRUE(e.records().empty());
  EXPECT_EQ(e.workbooks(), (std::vector<std::string>{"Other.ods", "R.xlsx"}));

  // Add: template copied, protocol chosen, settings and save dialogs accepted.
  ASSERT_TRUE(e.add());
  ASSERT_EQ(e.records().size(), 1u);
  EXPECT_EQ(e.records()[0].file, folder() / "weekly.xml");
  const ReportDefinition d = e.records()[0].definition;
  EXPECT_EQ(d.description, "Weekly HRV");
  EXPECT_EQ(d.category, "Standard EKG");
  EXPECT_EQ(d.fileName, "weekly.xml");
  EXPECT_EQ(d.ibiFileName, "ibi.txt");
  EXPECT_EQ(d.sessionStatFileName, "session.txt");
  EXPECT_EQ(d.nnInterval, 30);
  EXPECT_FALSE(d.dateModified.empty());
  EXPECT_EQ(e.rowTexts(0)[2], str(373));
  EXPECT_EQ(ExcelReportEditorModel::columnHeaders().size(), 5u);
  // The choice is remembered in the application settings, which keep the rest.
  CXMLMarkup app;
  ASSERT_TRUE(app.Load(root_ / kAppSettingsName));
  ASSERT_TRUE(app.FindElem() && app.FindChildElem("CommProtocol"));
  EXPECT_EQ(app.GetChildDataUtf8(), "7");
  app.ResetChildPos();
  ASSERT_TRUE(app.FindChildElem("Category"));
  EXPECT_EQ(app.GetChildDataUtf8(), "Standard EKG");

  // Edit: the definition's own values come back into the settings dialog.
  dialogs_.fill = [](DefinitionSettingsForm& f) {
    EXPECT_EQ(f.ibi, "ibi.txt");
    EXPECT_EQ(f.nnText, "30");
    f.nnText = "40";
  };
  dialogs_.saveForm = {"Weekly HRV, edited", "weekly"};
  ui_.answer(true);  // replace weekly.xml
  ASSERT_TRUE(e.edit(0));
  ASSERT_EQ(e.records().size(), 1u);
  EXPECT_EQ(e.records()[0].definition.nnInterval, 40);
  EXPECT_EQ(e.records()[0].definition.description, "Weekly HRV, edited");

  // Summary: the definition printed into the summary template and shown.
  ui_.clear();
  ASSERT_TRUE(e.showSummary(0)) << ui_.firstIds().size();
  ASSERT_EQ(ui_.openedDocuments().size(), 1u);
  auto summary = DocxDocument::open(ui_.openedDocuments()[0]);
  ASSERT_TRUE(summary);
  EXPECT_NE(summary->documentXml().find("Weekly HRV, edited"), std::string::npos);
  EXPECT_NE(summary->documentXml().find("ibi.txt"), std::string::npos);
  EXPECT_NE(summary->documentXml().find("40 ms"), std::string::npos);

  // Delete: nothing selected, then No, then Yes.
  ui_.clear();
  EXPECT_FALSE(e.remove({}));
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{419});
  ui_.answer(false);
  EXPECT_FALSE(e.remove({0}));
  EXPECT_TRUE(fs::exists(folder() / "weekly.xml"));
  ui_.answer(true);
  EXPECT_TRUE(e.remove({0}));
  EXPECT_FALSE(fs::exists(folder() / "weekly.xml"));
  EXPECT_TRUE(e.records().empty());
}

TEST_F(EditFlow, ChoicesEndTheFlowWithoutWriting) {
  auto e = editor();
  e.refill();
  dialogs_.protocol = std::nullopt;  // cancelled
  EXPECT_FALSE(e.add());
  dialogs_.protocol = ProtocolChoice{2, "Stress script", 4, 0, 0};  // no EKG or BVP channel
  ui_.clear();
  EXPECT_FALSE(e.add());
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{483});
  EXPECT_EQ(dialogs_.settingsShown, 0);
  EXPECT_TRUE(scanReportsFolder(folder()).definitions.empty());
}

TEST_F(EditFlow, MissingSettingsFileIsReportedAndTheListStillFilled) {
  fs::remove(root_ / kAppSettingsName);
  writeDefinition("a.xml", "<Description>A</Description>");
  auto e = editor();
  e.refill();
  EXPECT_EQ(ui_.firstIds(), std::vector<int>{189});
  EXPECT_EQ(e.records().size(), 1u);
}

TEST_F(EditFlow, SelectionModeListsTheCategoryAndReturnsTheScannedFile) {
  writeDefinition("mine.xml", "<Description>Mine</Description><Category>Standard EKG</Category>"
                              "<FileName>../../elsewhere.xml</FileName>");
  writeDefinition("theirs.xml", "<Description>Theirs</Description><Category>Other set</Category>");
  std::ofstream(folder() / "broken.xml") << "<HRVExcelReport><Category>Standard EKG";
  auto e = editor(EditorMode::Selection, std::string("Standard EKG"));
  e.refill();
  EXPECT_TRUE(ui_.records().empty());  // the settings file is not read in selection mode
  // The ill-formed file reads without a category, so it is not listed here.
  ASSERT_EQ(e.records().size(), 1u);
  EXPECT_EQ(e.chosenFile(0), folder() / "mine.xml");
  EXPECT_EQ(e.rowTexts(0)[1], "../../elsewhere.xml");  // the key is only shown
}

TEST_F(EditFlow, DeleteRemovesTheScannedFileNotTheFileNameKey) {
  std::ofstream(root_ / "victim") << "keep me";
  writeDefinition("crafted.xml", "<Description>X</Description><FileName>../../victim</FileName>");
  writeDefinition("other.xml", "<Description>Y</Description><FileName>crafted.xml</FileName>");
  auto e = editor();
  e.refill();
  ASSERT_EQ(e.records().size(), 2u);
  ui_.answer(true);
  ASSERT_TRUE(e.remove({0}));  // crafted.xml
  EXPECT_TRUE(fs::exists(root_ / "victim"));
  EXPECT_FALSE(fs::exists(folder() / "crafted.xml"));
  EXPECT_TRUE(fs::exists(folder() / "other.xml"));
}

// ---- generation ----

class Generation : public EditFlow {
 protected:
  Status generate(const std::string& body) {
    writeDefinition("g.xml", body);
    GenerationHooks h;
    h.setEpochLength = [this](int s) {
      epochs_.push_back(s);
      if (epochFails_) return false;
      settings_.epochTime = s;
      return true;
    };
    h.recompute = [this] { ++recomputed_; };
    h.rebuildStepStatistics = [this] { ++stepRebuilt_; };
    h.writeExport = [this](const ExportRequest& r) {
      requests_.push_back(r);
      std::ofstream(r.file) << "export";
      return Status::ok();
    };
    return generateExcelReport(folder() / "g.xml", folder(), {&settings_, &codePage_}, h, ui_);
  }

  AnalysisSettings settings_ = [] {
    AnalysisSettings s;
    s.epochTime = 300;
    s.nnInterval = 50;
    s.bandUnits = 0;
    s.statisticOption = 0;
    return s;
  }();
  int codePage_ = 0;
  bool epochFails_ = false;
  std::vector<int> epochs_;
  int recomputed_ = 0, stepRebuilt_ = 0;
  std::vector<ExportRequest> requests_;
};

TEST_F(Generation, WritesTheFourExportsInOrderAndOpensTheWorkbook) {
  ASSERT_TRUE(generate("<IBIFileName>data</IBIFileName><PeriodicStatFileName>p.txt</PeriodicStatFileName>"
                       "<StandStatFileName>s.txt</StandStatFileName><SessionStatFileName>t.txt</SessionStatFileName>"
                       "<ExcelFileName>r.XLSX</ExcelFileName><EpochTime>300</EpochTime><NNInterval>20</NNInterval>"
                       "<Units>1</Units><StatisticOptions>1</StatisticOptions><FilePerEpoch>1</FilePerEpoch>"
                       "<SignalType>1</SignalType><Header>1</Header><TextFileType>65001</TextFileType>"));
  ASSERT_EQ(requests_.size(), 4u);
  EXPECT_EQ(requests_[0].kind, ExportKind::Ibi);
  EXPECT_EQ(requests_[0].file, folder() / "data");  // the base of data001.txt, data002.txt ...
  EXPECT_TRUE(requests_[0].filePerEpoch);
  EXPECT_EQ(requests_[3].file, folder() / "t.txt");
  EXPECT_EQ(requests_[1].signalType, 1);
  EXPECT_EQ(requests_[1].codePage, 65001);
  EXPECT_EQ(requests_[1].statisticOption, 1);
  EXPECT_EQ(codePage_, 65001);
  EXPECT_EQ(settings_.nnInterval, 20);
  EXPECT_EQ(settings_.bandUnits, 1);
  EXPECT_TRUE(epochs_.empty());
  EXPECT_EQ(recomputed_, 1);
  EXPECT_EQ(stepRebuilt_, 1);
  EXPECT_EQ(shownIds(ui_), std::vector<int>{143});
  EXPECT_EQ(ui_.openedDocuments(), std::vector<fs::path>{folder() / "R.xlsx"});  // found without regard to case
}

TEST_F(Generation, EpochLengthGoesThroughTheContainersCommand) {
  ASSERT_TRUE(generate("<ExcelFileName>R.xlsx</ExcelFileName><EpochTime>123</EpochTime><NNInterval>50</NNInterval>"));
  EXPECT_TRUE(epochs_.empty());  // 123 counts as 300, the session's length
  ASSERT_TRUE(generate("<ExcelFileName>R.xlsx</ExcelFileName><EpochTime>180</EpochTime><NNInterval>70</NNInterval>"
                       "<SessionStatFileName>t</SessionStatFileName>"));
  EXPECT_EQ(epochs_, std::vector<int>{180});
  EXPECT_EQ(recomputed_, 0);  // the epoch command recomputed already
  epochFails_ = true;
  requests_.clear();
  EXPECT_FALSE(generate("<ExcelFileName>R.xlsx</ExcelFileName><EpochTime>60</EpochTime>"
                        "<SessionStatFileName>t</SessionStatFileName>"));
  EXPECT_TRUE(requests_.empty());
}

TEST_F(Generation, HandEditedDefinitionWithoutExportsOnlyOpensTheWorkbook) {
  ASSERT_TRUE(generate("<ExcelFileName>R.xlsx</ExcelFileName><NNInterval>50</NNInterval>"));
  EXPECT_TRUE(requests_.empty());
  EXPECT_EQ(ui_.openedDocuments().size(), 1u);
}

TEST_F(Generation, CraftedNamesNeverLeaveTheFolderNorWriteOtherThanText) {
  fs::create_directories(root_ / "sub");
  ASSERT_TRUE(generate("<IBIFileName>../x.txt</IBIFileName><PeriodicStatFileName>..\\x</PeriodicStatFileName>"
                       "<StandStatFileName>/tmp/x</StandStatFileName><SessionStatFileName>a.xml</SessionStatFileName>"
                       "<ExcelFileName>R.xlsx</ExcelFileName>"));
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0].file, folder() / "a.txt");
  EXPECT_EQ(shownIds(ui_), (std::vector<int>{409, 409, 409}));
  requests_.clear();
  ASSERT_TRUE(generate("<IBIFileName>b.xlsx</IBIFileName><PeriodicStatFileName>..</PeriodicStatFileName>"
                       "<StandStatFileName>.hidden</StandStatFileName><ExcelFileName>R.xlsx</ExcelFileName>"));
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0].file, folder() / "b.txt");
  for (const auto& e : fs::directory_iterator(root_)) EXPECT_NE(e.path().filename(), "x.txt");
}

TEST_F(Generation, OnlyASpreadsheetOfTheFolderIsOpened) {
  std::ofstream(root_ / "x.sh") << "#!/bin/sh";
  std::ofstream(folder() / "run.sh") << "#!/bin/sh";
  fs::create_symlink(root_ / "x.sh", folder() / "link.xlsx");
  for (const char* bad : {"../x.sh", "run.sh", "/tmp/R.xlsx", "missing.xlsx", "link.xlsx", ""}) {
    ui_.clear();
    EXPECT_FALSE(generate(std::string("<ExcelFileName>") + bad + "</ExcelFileName>")) << bad;
    EXPECT_TRUE(ui_.openedDocuments().empty()) << bad;
    EXPECT_EQ(shownIds(ui_), std::vector<int>{409}) << bad;
  }
  ui_.clear();
  ui_.answerOpen(OpenResult::NoApplication);
  EXPECT_FALSE(generate("<ExcelFileName>Other.ods</ExcelFileName><SessionStatFileName>t</SessionStatFileName>"));
  EXPECT_EQ(shownIds(ui_), std::vector<int>{455});
  EXPECT_EQ(requests_.size(), 1u);  // the exports are written all the same
}

TEST_F(Generation, ValuesOutOfRangeKeepTheSessionsSettings) {
  codePage_ = 1200;
  ASSERT_TRUE(generate("<ExcelFileName>R.xlsx</ExcelFileName><NNInterval>99999</NNInterval><Units>7</Units>"
                       "<StatisticOptions>5</StatisticOptions><SignalType>3</SignalType>"
                       "<TextFileType>12345</TextFileType><SessionStatFileName>t</SessionStatFileName>"));
  EXPECT_EQ(settings_.nnInterval, 50);
  EXPECT_EQ(settings_.bandUnits, 0);
  EXPECT_EQ(settings_.statisticOption, 0);
  EXPECT_EQ(codePage_, 1200);
  ASSERT_EQ(requests_.size(), 1u);
  EXPECT_EQ(requests_[0].signalType, 0);
  EXPECT_EQ(requests_[0].codePage, 1200);
  EXPECT_TRUE(shownIds(ui_).empty());
  ASSERT_TRUE(generate("<ExcelFileName>R.xlsx</ExcelFileName><NNInterval>0</NNInterval>"));
  EXPECT_EQ(settings_.nnInterval, 50);
}

}  // namespace
}  // namespace rc
