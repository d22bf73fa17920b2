// The reports' dialogs over their rules: the options dialog's signal choice
// and its header-only question, the definition settings dialog showing the
// normalised names and refusing bad input, the save dialog's checks, and the
// chart picture of the report.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QtTest>
#include <filesystem>

#include "reports/ui/report_dialogs.h"
#include "reports/ui/report_render.h"
#include "support/language.h"

using namespace rc;

class TstReportDialogs : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void initTestCase() { QVERIFY(loadLanguage(RC_PROGRAM_DIR)); }

  void signalChoiceOnlyWithBothSeries() {
    ScriptedUi ui;
    CReportOptions bvpOnly(ReportSeries{false, true}, ui);
    QCOMPARE(bvpOnly.options().signal, kSlotBvp);
    QVERIFY(!bvpOnly.findChildren<QRadioButton*>().front()->isEnabled());
    CReportOptions both(ReportSeries{true, true}, ui);
    QCOMPARE(both.options().signal, kSlotEkg);
    QVERIFY(both.findChildren<QRadioButton*>().front()->isEnabled());
  }

  void headerOnlyReportIsAskedFor() {
    ScriptedUi ui;
    ui.answer(false);
    CReportOptions d(ReportSeries{true, false}, ui);
    for (QCheckBox* c : d.findChildren<QCheckBox*>()) c->setChecked(false);
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Rejected));  // still open: No was answered
    QCOMPARE(ui.firstIds(), std::vector<int>{308});
    ui.answer(true);
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
  }

  void settingsShowNormalisedNames() {
    ScriptedUi ui;
    ReportDefinition def;
    def.ibiFileName = "beats.csv";
    def.nnInterval = 50;
    CExcelReportSettings d(def, {"R.xlsx"}, ui);
    auto edits = d.findChildren<QLineEdit*>();
    d.accept();  // no workbook chosen
    QCOMPARE(ui.firstIds(), std::vector<int>{415});
    QCOMPARE(edits[0]->text(), QString("beats.txt"));
    QCOMPARE(d.result(), int(QDialog::Rejected));
  }

  void saveDialogRefusesADotName() {
    ScriptedUi ui;
    ReportDefinition def;
    def.description = "D";
    def.fileName = ".xml";
    CSaveExcelReport d(def, std::filesystem::temp_directory_path(), ui);
    d.accept();
    QCOMPARE(ui.firstIds(), std::vector<int>{408});
    QCOMPARE(d.result(), int(QDialog::Rejected));
  }

  void chartPictureIsAPng() {
    ChartSpec c;
    c.title = "Tachogram";
    c.series.push_back({{0, 1, 2}, {800, 850, 820}, ChartSeries::Style::Line, 0xC00000});
    c.xMax = 2;
    c.yMin = 790;
    c.yMax = 860;
    const auto png = renderChartPng(c, 300, 150);
    QVERIFY(png.size() > 8);
    QImage img;
    QVERIFY(img.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"));
    QCOMPARE(img.size(), QSize(600, 300));
  }
};

QTEST_MAIN(TstReportDialogs)
#include "tst_report_dialogs.moc"
