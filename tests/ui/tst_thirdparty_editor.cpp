// The third-party IBI file flow with its widgets: the layout dialog's Detect
// and enabling rules, the editor's list, time range and scroll bar, and both
// exports compared with what the core writes headless.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest/QtTest>
#include <cmath>
#include <set>
#include <fstream>
#include <iterator>

#include "editors/thirdparty/thirdparty_export.h"
#include "editors/ui/thirdparty_editor.h"
#include "editors/ui/thirdparty_layout_dialog.h"
#include "support/language.h"
#include "support/locale.h"

using namespace rc;

namespace {

std::string readAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

class ThirdPartyEditorTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  std::filesystem::path file_;
  std::vector<float> values_;

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(loadLanguage(RC_PROGRAM_DIR).isOk());
    setLocaleSeparators({});
    QVERIFY(dir_.isValid());
    // About 290 s of a time column and an interval column, tab separated,
    // after two header lines.
    file_ = std::filesystem::path(dir_.path().toStdString()) / "strap.txt";
    std::ofstream out(file_, std::ios::binary);
    out << "Exported by a strap\r\ntime\tRR\r\n";
    double t = 0.0;
    for (int k = 0; k < 360; ++k) {
      const float v = 800.0f + static_cast<float>((k * 37) % 61) - 30.0f + 0.25f;
      out << t << '\t' << v << "\r\n";
      values_.push_back(v);
      t += v / 1000.0;
    }
  }

  void layoutDialogDetectsAndKeepsItsRules() {
    ScriptedUi ui;
    ThirdPartyLayoutDialog d(ThirdPartySettings{}, ui);
    d.show();
    QVERIFY(!d.detectButton()->isEnabled());
    d.setFile(file_);
    QVERIFY(d.detectButton()->isEnabled());
    QTest::mouseClick(d.detectButton(), Qt::LeftButton);
    QCOMPARE(d.model().headerLines(), 2);
    QVERIFY(d.model().twoColumns());
    QVERIFY(d.model().secondPosition());
    QCOMPARE(d.model().separator(), '\t');
    QVERIFY(d.proposalLabel()->text().contains(QString::fromStdString(str(1609))));
    auto* spin = d.findChild<QSpinBox*>();
    QCOMPARE(spin->value(), 2);
    // One column: position and separator back to first and comma, disabled.
    QRadioButton* one = nullptr;
    for (auto* r : d.findChildren<QRadioButton*>())
      if (r->text() == "1") one = r;
    QVERIFY(one);
    one->click();
    QVERIFY(!d.model().twoColumns());
    QVERIFY(!d.model().secondPosition());
    QCOMPARE(d.model().separator(), ',');
    for (auto* r : d.findChildren<QRadioButton*>()) {
      if (r->text() == QString::fromStdString(str(468))) QVERIFY(!r->isEnabled());
    }
    QVERIFY(ui.records().empty());
  }

  void editorListsTheFileAndExports() {
    ScriptedUi ui;
    ThirdPartyLayoutDialog d(ThirdPartySettings{}, ui);
    d.setFile(file_);
    d.detect();
    auto read = readThirdPartyFile(file_, d.model().layout(), ui);
    QVERIFY(read);
    QCOMPARE(read->values.size(), values_.size());

    CThirdPartyEditor editor(std::move(*read), d.model().applied(ThirdPartySettings{}), ui);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QCOMPARE(editor.rows()->rowCount(), static_cast<int>(values_.size()));
    QCOMPARE(editor.rows()->index(0, 0).data().toString(), QString("00:00:00.000"));
    QCOMPARE(editor.rows()->index(1, 1).data().toString(), QString::asprintf("%.6f", double(values_[1])));

    // Edits on the shared model: Add, Undo, Split in half (the entry's second
    // mode), Save.
    editor.selectRows({0, 1});
    editor.add();
    QCOMPARE(editor.rows()->rowCount(), static_cast<int>(values_.size()) - 1);
    QCOMPARE(editor.rows()->index(0, 1).data().toString(),
             QString::asprintf("%.6f", double(values_[0]) + double(values_[1])));
    editor.undo();
    QCOMPARE(editor.rows()->rowCount(), static_cast<int>(values_.size()));
    QVERIFY(!editor.editModel().dirty());
    editor.selectRows({3});
    ui.answerText(std::string());
    editor.split();
    QCOMPARE(ui.firstIds(), std::vector<int>{477});
    ui.clear();
    QCOMPARE(editor.rows()->rowCount(), static_cast<int>(values_.size()) + 1);
    QCOMPARE(editor.selectedRows(), (std::vector<std::size_t>{3, 4}));
    QCOMPARE(editor.core().series().size(), values_.size());  // not saved yet
    editor.saveChanges();
    QCOMPARE(editor.core().series().size(), values_.size() + 1);
    QVERIFY(!editor.editModel().dirty());
    QCOMPARE(double(editor.core().series()[3] + editor.core().series()[4]), double(values_[3]));
    editor.cancelChanges();  // nothing to cancel
    std::vector<float> edited = editor.core().series();

    // Time range: a negative entry gives 1 s; the scroll bar moves the window.
    editor.timeRangeEdit()->setText("-5");
    editor.applyTimeRange();
    QCOMPARE(editor.timeRangeEdit()->text(), QString("1"));
    editor.timeRangeEdit()->setText("60");
    QTest::keyClick(editor.timeRangeEdit(), Qt::Key_Return);
    QCOMPARE(editor.core().timeRange().width, 60LL);
    QVERIFY(editor.scrollBar()->isEnabled());
    editor.scrollBar()->setValue(120);
    QCOMPARE(editor.timeAxis()->min(), 120.0);
    QCOMPARE(editor.timeAxis()->max(), 180.0);
    QVERIFY(editor.chartSeries()->count() > 60);
    QVERIFY(editor.chartSeries()->count() < 90);

    // IBI export through its dialog's switches.
    const auto ibiFile = std::filesystem::path(dir_.path().toStdString()) / "ibi.txt";
    editor.askIbiOptions = [&](const ThirdPartyIbiExport& o) -> std::optional<ThirdPartyIbiExport> {
      ThirdPartyIbiExportDialog dlg(o, &editor);
      dlg.integer->setChecked(true);
      dlg.time->setChecked(false);
      dlg.header->setChecked(false);
      return dlg.options();
    };
    ui.answerFile(ibiFile);
    editor.exportIbi();
    std::string expected;
    for (float v : edited) expected += std::to_string(integerIbi(v)) + "\r\n";
    QCOMPARE(readAll(ibiFile), expected);
    QCOMPARE(editor.core().settings().integerIbi, 1);

    // Statistics export: the same text as the core computes headless.
    const auto statsFile = std::filesystem::path(dir_.path().toStdString()) / "stats";
    ThirdPartyStatsExport chosen;
    editor.askStatsOptions = [&](const ThirdPartyStatsExport& o,
                                 const std::vector<int>& choices) -> std::optional<ThirdPartyStatsExport> {
      ThirdPartyStatsExportDialog dlg(o, choices, &editor);
      if (dlg.epoch->count() != 2) return std::nullopt;  // 1 and 3 min. for about 300 s
      dlg.nn->setValue(20);
      dlg.units->setCurrentIndex(1);
      chosen = dlg.options();
      return chosen;
    };
    ui.answerFile(statsFile);
    editor.exportStatistics();
    const auto text = thirdPartyStatsExportText(edited, chosen, ',', '.');
    QVERIFY(text);
    QCOMPARE(readAll(statsFile.string() + ".txt"), *text);
    QCOMPARE(editor.core().settings().nnInterval, 20);
    for (const auto& r : ui.records()) QCOMPARE(r.kind, ScriptedUi::Kind::ChooseFile);
    ui.clear();

    // Closing with an unsaved edit asks 475 (No: nothing is written).
    editor.selectRows({10, 11, 12});
    editor.average();
    QVERIFY(editor.editModel().dirty());
    ui.answer(false);
    editor.reject();
    QCOMPARE(ui.firstIds(), std::vector<int>{475});
    QCOMPARE(ui.records()[0].kind, ScriptedUi::Kind::YesNo);
  }

  void sixHundredSplitsThenSave() {
    ScriptedUi ui;
    ThirdPartyFile f{file_, values_};
    CThirdPartyEditor editor(f, ThirdPartySettings{}, ui);
    for (int k = 0; k < 600; ++k) {
      ui.answerText(std::string());
      // Spread over the list, so no interval is halved too often.
      editor.selectRows({static_cast<std::size_t>((k * 7) % editor.rows()->rowCount())});
      editor.split();
    }
    std::set<int> shown;
    for (const auto& r : ui.records())
      if (r.kind != ScriptedUi::Kind::EnterString) shown.insert(r.message.ids.empty() ? 0 : r.message.ids[0]);
    QVERIFY2(shown.empty(), shown.empty() ? "" : std::to_string(*shown.begin()).c_str());
    editor.saveChanges();
    QCOMPARE(editor.core().series().size(), values_.size() + 600);
    double before = 0.0, after = 0.0;
    for (float v : values_) before += v;
    for (float v : editor.core().series()) {
      QVERIFY(v > 0.0f);
      after += v;
    }
    QVERIFY(std::abs(before - after) < 1.0);
    // Closing after the save asks nothing.
    ui.clear();
    editor.reject();
    QVERIFY(ui.records().empty());
  }

  void missingSettingsFileIsReportedAndNeverCreated() {
    ScriptedUi ui;
    const std::filesystem::path folder = dir_.path().toStdString();
    QTimer::singleShot(0, [] {
      if (auto* w = QApplication::activeModalWidget()) static_cast<QDialog*>(w)->reject();
    });
    openThirdPartyEditor(nullptr, ui, folder);
    QCOMPARE(ui.firstIds(), std::vector<int>{189});
    QVERIFY(!std::filesystem::exists(thirdPartySettingsPath(folder)));
  }
};

QTEST_MAIN(ThirdPartyEditorTest)
#include "tst_thirdparty_editor.moc"
