// Proves the UI stack works on this machine: a 2D chart and a 3D surface are
// rendered to images and the images hold drawn pixels.
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QtTest/QtTest>
#include <cmath>

class UiStackTest : public QObject {
  Q_OBJECT

 private:
  static int distinctColours(const QImage& img) {
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); y += 4)
      for (int x = 0; x < img.width(); x += 4) colours.insert(img.pixel(x, y));
    return colours.size();
  }

 private Q_SLOTS:
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
