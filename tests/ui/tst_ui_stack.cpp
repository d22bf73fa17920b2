// Proves the UI stack works on this machine: a 2D chart and a 3D surface are
// rendered to images and the images hold drawn pixels; and the program's
// own questions reach the user through it: the Qt side of the user-interface
// seam asks whether a damaged series file may be replaced, with No as the
// default button, and the core acts on the answer.
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QtTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "analysis/series/series_file.h"
#include "analysis/series/series_find.h"
#include "support/language.h"
#include "support/ui/qt_user_interface.h"

class UiStackTest : public QObject {
  Q_OBJECT

 private:
  static int distinctColours(const QImage& img) {
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); y += 4)
      for (int x = 0; x < img.width(); x += 4) colours.insert(img.pixel(x, y));
    return colours.size();
  }

 private:
  // Runs `action` on the first message box that opens.
  static void onNextMessageBox(std::function<void(QMessageBox*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      timer->stop();
      timer->deleteLater();
      action(box);
    });
    timer->start();
  }

  static std::vector<char> bytesOf(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private Q_SLOTS:
  void initTestCase() { QVERIFY(rc::loadLanguage(RC_PROGRAM_DIR).isOk()); }

  void damagedSeriesQuestionNamesTheFileAndDefaultsToNo() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "RespPeriod_1C.dat";
    { std::ofstream(file, std::ios::binary).write("\x01\x00\x00\x00", 4); }  // one record, no table
    const std::vector<char> damaged = bytesOf(file);
    std::vector<float> samples(256 * 30, 0.0f);
    rc::FindOrCreateRequest request;
    request.sessionFolder = file.parent_path();
    request.timing.blockRate = 8;
    request.timing.sessionLength = 30.0f;
    const rc::ChannelLookup lookup = [&](const std::string&) -> std::optional<rc::ChannelInput> {
      return rc::ChannelInput{samples, 256.0};
    };
    rc::QtUserInterface ui;

    // Enter takes the default button: the file stays as it is.
    QString text, title;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    onNextMessageBox([&](QMessageBox* box) {
      text = box->text();
      title = box->windowTitle();
      defaultButton = box->standardButton(box->defaultButton());
      QTest::keyClick(box, Qt::Key_Return);
    });
    rc::SeriesFileOutcome kept{rc::SeriesKind::RespPeriod, "1C", file, rc::SeriesFileState::Existing, {}, {}};
    const rc::Status no = rc::loadSeriesFile(request, lookup, kept, ui);
    QVERIFY(!no.isOk());
    QCOMPARE(defaultButton, QMessageBox::No);
    QCOMPARE(title, QString::fromStdString(rc::str(101)));
    QVERIFY2(text.contains(QString::fromStdString(file.string())), qPrintable(text));
    QVERIFY2(text.contains("shorter than its segment table"), qPrintable(text));
    QVERIFY(bytesOf(file) == damaged);
    QVERIFY(!kept.series);

    // Yes sets the file aside and detects the series again.
    onNextMessageBox([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    rc::SeriesFileOutcome replaced{rc::SeriesKind::RespPeriod, "1C", file, rc::SeriesFileState::Existing, {}, {}};
    const rc::Status yes = rc::loadSeriesFile(request, lookup, replaced, ui);
    QVERIFY2(yes.isOk(), yes.message().c_str());
    QVERIFY(replaced.series.has_value());
    QCOMPARE(replaced.state, rc::SeriesFileState::Created);
    QVERIFY(bytesOf(rc::setAsidePath(file)) == damaged);
    rc::IntervalSeries back;
    QVERIFY(rc::readIntervalSeries(file, true, back).isOk());
  }

  void chartRendersToImage() {
    auto* series = new QLineSeries;
    for (int i = 0; i < 200; ++i) series->append(i, 800 + 50 * std::sin(i / 10.0));
    auto* chart = new QChart;
    chart->addSeries(series);
    chart->createDefaultAxes();
    QChartView view(chart);
    view.resize(640, 360);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QImage img = view.grab().toImage();
    QCOMPARE(img.size(), QSize(640, 360));
    QVERIFY(distinctColours(img) > 3);
  }

  void surfaceRendersToImage() {
    Q3DSurface surface;
    auto* proxy = new QSurfaceDataProxy;
    auto* array = new QSurfaceDataArray;
    for (int z = 0; z < 30; ++z) {
      auto* row = new QSurfaceDataRow(40);
      for (int x = 0; x < 40; ++x) (*row)[x].setPosition(QVector3D(x, std::sin(x / 5.0) * std::cos(z / 4.0), z));
      array->append(row);
    }
    proxy->resetArray(array);
    surface.addSeries(new QSurface3DSeries(proxy));
    surface.resize(480, 360);
    surface.show();
    QVERIFY(QTest::qWaitForWindowExposed(&surface));
    QTest::qWait(200);
    QImage img = surface.renderToImage(0, QSize(480, 360));
    QVERIFY(!img.isNull());
    QVERIFY(distinctColours(img) > 3);
  }
};

QTEST_MAIN(UiStackTest)
#include "tst_ui_stack.moc"
