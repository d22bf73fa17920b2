#include "reports/ui/report_render.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QUrl>
#include <atomic>
#include <algorithm>
#include <cmath>
#include <thread>
#include <cstdlib>
#include <sstream>

#include "support/file_io.h"

namespace rc {
namespace {

QColor colourOf(std::uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// A "nice" step for about `count` ticks over the span.
double tickStep(double span, int count) {
  if (!(span > 0)) return 1.0;
  const double raw = span / count;
  const double mag = std::pow(10.0, std::floor(std::log10(raw)));
  const double f = raw / mag;
  return (f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10) * mag;
}

QString tickText(double v, double step) {
  const int decimals = step >= 1 ? 0 : std::min(4, static_cast<int>(std::ceil(-std::log10(step))));
  return QString::number(v, 'f', decimals);
}

void paintChart(QPainter& p, const QRectF& area, const ChartSpec& c) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillRect(area, Qt::white);
  QFont font = p.font();
  font.setFamily("DejaVu Sans");
  font.setPixelSize(std::max(9, static_cast<int>(area.height() / 24)));
  p.setFont(font);
  const QFontMetricsF fm(font);
  QFont titleFont = font;
  titleFont.setBold(true);
  titleFont.setPixelSize(font.pixelSize() + 2);

  const double left = fm.horizontalAdvance("00000.0") + fm.height() + 6;
  const double top = fm.height() * 1.8;
  const double bottom = fm.height() * 2.4;
  // The last tick label is centred on the right edge: room for half of it.
  const double labelWidth = fm.horizontalAdvance("000.00");
  const double right = std::max(10.0, labelWidth / 2 + 4);
  const QRectF plot(area.left() + left, area.top() + top, area.width() - left - right,
                    area.height() - top - bottom);
  if (plot.width() < 10 || plot.height() < 10) {
    p.restore();
    return;
  }
  const double x0 = c.xMin, x1 = c.xMax > c.xMin ? c.xMax : c.xMin + 1;
  const double y0 = c.yMin, y1 = c.yMax > c.yMin ? c.yMax : c.yMin + 1;
  auto X = [&](double x) { return plot.left() + (x - x0) / (x1 - x0) * plot.width(); };
  auto Y = [&](double y) { return plot.bottom() - (y - y0) / (y1 - y0) * plot.height(); };

  p.setFont(titleFont);
  p.setPen(QColor(0x1F, 0x38, 0x64));
  p.drawText(QRectF(area.left(), area.top() + 2, area.width(), top), Qt::AlignHCenter | Qt::AlignTop,
             QString::fromStdString(c.title));
  p.setFont(font);

  for (const ChartBand& b : c.bands) {
    const QRectF r(QPointF(X(std::max(b.from, x0)), plot.top()), QPointF(X(std::min(b.to, x1)), plot.bottom()));
    p.fillRect(r, colourOf(b.rgb));
    p.setPen(QColor(0x59, 0x59, 0x59));
    p.drawText(r.adjusted(0, 2, 0, 0), Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(b.label));
  }

  // Grid and axes.
  // As many x ticks as their labels leave room for (at most six).
  const int xTicks = std::clamp(static_cast<int>(plot.width() / (1.6 * labelWidth)), 2, 6);
  const double xs = tickStep(x1 - x0, xTicks), ys = tickStep(y1 - y0, 5);
  p.setPen(QPen(QColor(0xD9, 0xD9, 0xD9), 1));
  for (double v = std::ceil(x0 / xs) * xs; v <= x1 + xs * 1e-6; v += xs) {
    p.setPen(QPen(QColor(0xD9, 0xD9, 0xD9), 1));
    p.drawLine(QPointF(X(v), plot.top()), QPointF(X(v), plot.bottom()));
    p.setPen(Qt::black);
    p.drawText(QRectF(X(v) - 40, plot.bottom() + 2, 80, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
               tickText(v, xs));
  }
  for (double v = std::ceil(y0 / ys) * ys; v <= y1 + ys * 1e-6; v += ys) {
    p.setPen(QPen(QColor(0xD9, 0xD9, 0xD9), 1));
    p.drawLine(QPointF(plot.left(), Y(v)), QPointF(plot.right(), Y(v)));
    p.setPen(Qt::black);
    p.drawText(QRectF(area.left(), Y(v) - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
               tickText(v, ys));
  }
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
  p.drawRect(plot);
  p.drawText(QRectF(plot.left(), plot.bottom() + fm.height() + 2, plot.width(), fm.height()), Qt::AlignHCenter,
             QString::fromStdString(c.xLabel));
  p.save();
  p.translate(area.left() + fm.height() * 0.2, plot.center().y());
  p.rotate(-90);
  p.drawText(QRectF(-plot.height() / 2, 0, plot.height(), fm.height()), Qt::AlignHCenter | Qt::AlignTop,
             QString::fromStdString(c.yLabel));
  p.restore();

  p.setClipRect(plot.adjusted(-1, -1, 1, 1));
  if (c.diagonal) {
    p.setPen(QPen(QColor(0xA6, 0xA6, 0xA6), 1, Qt::DashLine));
    const double lo = std::max(x0, y0), hi = std::min(x1, y1);
    p.drawLine(QPointF(X(lo), Y(lo)), QPointF(X(hi), Y(hi)));
  }
  for (const ChartSeries& s : c.series) {
    const QColor col = colourOf(s.rgb);
    const std::size_t n = std::min(s.x.size(), s.y.size());
    if (s.style == ChartSeries::Style::Line) {
      QPainterPath path;
      for (std::size_t i = 0; i < n; ++i) {
        const QPointF pt(X(s.x[i]), Y(s.y[i]));
        if (i == 0)
          path.moveTo(pt);
        else
          path.lineTo(pt);
      }
      p.setPen(QPen(col, 1.4));
      p.setBrush(Qt::NoBrush);
      p.drawPath(path);
    } else if (s.style == ChartSeries::Style::Points) {
      p.setPen(Qt::NoPen);
      p.setBrush(col);
      for (std::size_t i = 0; i < n; ++i) p.drawEllipse(QPointF(X(s.x[i]), Y(s.y[i])), 2.2, 2.2);
    } else {
      const double w = n > 1 ? std::max(1.0, (X(s.x[1]) - X(s.x[0])) * 0.8) : 2.0;
      p.setPen(Qt::NoPen);
      p.setBrush(col);
      for (std::size_t i = 0; i < n; ++i) {
        const double x = X(s.x[i]);
        p.drawRect(QRectF(QPointF(x - w / 2, Y(s.y[i])), QPointF(x + w / 2, Y(y0))));
      }
    }
  }
  p.restore();
}

QImage chartImage(const ChartSpec& c, int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  paintChart(p, QRectF(0, 0, w, h), c);
  p.end();
  return img;
}

}  // namespace

void ensureReportGraphics() {
  if (QCoreApplication::instance()) return;
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "rhythmcraft";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

std::vector<std::uint8_t> renderChartPng(const ChartSpec& chart, int widthPx, int heightPx) {
  ensureReportGraphics();
  if (widthPx < 1 || heightPx < 1) return {};
  // Charts are drawn at twice their shown size, so that they print sharply.
  const QImage img = chartImage(chart, widthPx * 2, heightPx * 2).convertToFormat(QImage::Format_Indexed8,
                                                                                   Qt::ThresholdDither);
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  QImageWriter writer(&buf, "png");
  writer.setQuality(80);  // zlib level 1: fast, and small for charts on white
  if (!writer.write(img)) return {};
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

ChartRenderer reportChartRenderer() {
  ensureReportGraphics();  // in the calling (main) thread, before any drawing
  return &renderChartPng;
}

namespace {

// Lays the report out on A4 pages, top to bottom: a piece that does not fit
// in what is left of a page starts the next one (charts and table rows are
// never cut; a statistics block may continue on the next page line by line).
class PdfLayout {
 public:
  PdfLayout(QPdfWriter& pdf, QPainter& p, const std::string& footer) : pdf_(pdf), p_(p), footer_(footer) {
    const QRect r = pdf.pageLayout().paintRectPixels(pdf.resolution());
    width_ = r.width();
    height_ = r.height() - mm(10);  // the footer's room
    unit_ = pdf.resolution() / 72.0;  // device pixels per point
    drawFooter();
  }
  double mm(double v) const { return v * pdf_.resolution() / 25.4; }
  double pt(double v) const { return v * unit_; }

  void need(double h) {
    if (y_ + h <= height_ || y_ == 0) return;
    newPage();
  }
  void newPage() {
    pdf_.newPage();
    ++page_;
    y_ = 0;
    drawFooter();
  }
  void space(double h) { y_ = std::min(y_ + h, height_); }

  // Wrapped text in a font; returns nothing, advances the position.
  void text(const QString& t, const QFont& f, const QColor& c = Qt::black, Qt::Alignment a = Qt::AlignLeft) {
    p_.setFont(f);
    p_.setPen(c);
    const QRectF box = p_.boundingRect(QRectF(0, 0, width_, 1e6), a | Qt::TextWordWrap, t);
    need(box.height());
    p_.drawText(QRectF(0, y_, width_, box.height()), a | Qt::TextWordWrap, t);
    y_ += box.height();
  }
  void textPair(const QString& left, const QFont& lf, const QString& right, const QFont& rf) {
    const double h = std::max(QFontMetricsF(lf, &pdf_).height(), QFontMetricsF(rf, &pdf_).height());
    need(h);
    p_.setFont(rf);
    p_.setPen(QColor(0x59, 0x59, 0x59));
    p_.drawText(QRectF(0, y_, width_, h), Qt::AlignRight | Qt::AlignBottom, right);
    p_.setFont(lf);
    p_.setPen(QColor(0x1F, 0x38, 0x64));
    p_.drawText(QRectF(0, y_, width_, h), Qt::AlignLeft | Qt::AlignBottom, left);
    y_ += h;
  }
  void rule(const QColor& c, double w) {
    need(w + pt(2));
    p_.fillRect(QRectF(0, y_, width_, w), c);
    y_ += w;
  }
  // Fixed-width lines; a page break may fall between any two lines.
  void lines(const std::string& block, const QFont& f, bool bold) {
    QFont font = f;
    font.setBold(bold);
    p_.setFont(font);
    p_.setPen(Qt::black);
    const double h = QFontMetricsF(font, &pdf_).lineSpacing();
    std::istringstream in(block);
    std::string line;
    while (std::getline(in, line)) {
      need(h);
      p_.drawText(QPointF(0, y_ + QFontMetricsF(font, &pdf_).ascent()), QString::fromStdString(line));
      y_ += h;
    }
  }
  void table(const std::vector<std::vector<std::string>>& rows, const QFont& f, const std::vector<double>& share) {
    const double h = QFontMetricsF(f, &pdf_).height() + pt(6);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      need(h);
      double x = 0;
      QFont font = f;
      font.setBold(r == 0);
      p_.setFont(font);
      for (std::size_t c = 0; c < rows[r].size() && c < share.size(); ++c) {
        const QRectF cell(x, y_, width_ * share[c], h);
        if (r == 0) p_.fillRect(cell, QColor(0xDC, 0xE6, 0xF0));
        p_.setPen(QPen(QColor(0x7F, 0x7F, 0x7F), pt(0.5)));
        p_.drawRect(cell);
        p_.setPen(Qt::black);
        p_.drawText(cell.adjusted(pt(4), 0, -pt(4), 0), Qt::AlignVCenter | (c == 0 ? Qt::AlignLeft : Qt::AlignRight),
                    QString::fromStdString(rows[r][c]));
        x += width_ * share[c];
      }
      y_ += h;
    }
  }
  // Pictures side by side, scaled to the given widths (fractions of the text width).
  void pictures(const std::vector<QImage>& images, const std::vector<double>& share) {
    double rowHeight = 0;
    for (std::size_t i = 0; i < images.size(); ++i)
      rowHeight = std::max(rowHeight, width_ * share[i] * images[i].height() / std::max(1, images[i].width()));
    need(rowHeight);
    double x = 0;
    for (std::size_t i = 0; i < images.size(); ++i) {
      const double w = width_ * share[i];
      const double h = w * images[i].height() / std::max(1, images[i].width());
      p_.drawImage(QRectF(x, y_, w, h), images[i]);
      x += w;
    }
    y_ += rowHeight;
  }

 private:
  void drawFooter() {
    QFont f("DejaVu Sans", 7);
    p_.setFont(f);
    p_.setPen(QColor(0x7F, 0x7F, 0x7F));
    const double top = height_ + mm(4);
    p_.fillRect(QRectF(0, top, width_, pt(0.5)), QColor(0xA6, 0xA6, 0xA6));
    const QRectF box(0, top + pt(2), width_, mm(6));
    p_.drawText(box, Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(footer_));
    p_.drawText(box, Qt::AlignRight | Qt::AlignTop, QString("%1").arg(page_));
  }

  QPdfWriter& pdf_;
  QPainter& p_;
  std::string footer_;
  double width_ = 0, height_ = 0, unit_ = 1, y_ = 0;
  int page_ = 1;
};

}  // namespace

Status writeTextReportPdf(const TextReport& rep, const std::filesystem::path& out) {
  ensureReportGraphics();
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setTitle(QString::fromStdString(rep.reportType));
    pdf.setCreator("Rhythmcraft");
    pdf.setResolution(300);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 18, 20, 12),
                                  QPageLayout::Millimeter));
    QPainter p(&pdf);
    if (!p.isActive()) return Status::error("the PDF document could not be made: " + out.string());
    PdfLayout L(pdf, p, rep.reportType);
    const QFont title("DejaVu Sans", 17, QFont::Bold), body("DejaVu Sans", 10), small("DejaVu Sans", 9),
        h1("DejaVu Sans", 12, QFont::Bold), h2("DejaVu Sans", 10, QFont::Bold), clinic("DejaVu Sans", 12);
    QFont mono("Liberation Mono", 9);
    mono.setStyleHint(QFont::Monospace);
    L.textPair(QString::fromStdString(rep.reportType), title, QString::fromStdString(rep.date), small);
    L.space(L.pt(4));
    L.text(QString::fromStdString(rep.clinicCaption), clinic, QColor(0x40, 0x40, 0x40));
    L.space(L.pt(3));
    L.rule(QColor(0x1F, 0x38, 0x64), L.pt(1.5));
    L.space(L.pt(10));
    QString client = QString::fromStdString(rep.client);
    client.replace("\t", "    ");
    L.text(client, body);
    if (rep.statistics) {
      L.space(L.pt(12));
      L.text(QString::fromStdString(rep.sessionTableCaption), h1, QColor(0x1F, 0x38, 0x64));
      L.space(L.pt(4));
      L.table(rep.sessionTable, body, {0.75, 0.25});
      for (const ReportBlock& b : rep.blocks) {
        if (b.statistics.empty()) continue;
        L.space(L.pt(10));
        L.need(L.pt(60));
        L.lines(b.heading, mono, true);
        L.space(L.pt(4));
        L.lines(b.statistics, mono, false);
      }
    }
    if (rep.graphs) {
      // The pictures are drawn on every core first (at 1.5 times their
      // shown size: sharp on paper, quick to embed), then laid out in order.
      std::vector<const ChartSpec*> charts;
      std::vector<bool> wide;
      for (const ReportBlock& b : rep.blocks)
        for (const ChartSpec& c : b.charts) {
          wide.push_back(&c == &b.charts.front());
          charts.push_back(&c);
        }
      std::vector<QImage> images(charts.size());
      std::atomic<std::size_t> next{0};
      auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < charts.size();)
          images[i] = wide[i] ? chartImage(*charts[i], kTachogramWidth * 3 / 2, kTachogramHeight * 3 / 2)
                              : chartImage(*charts[i], kSmallChartWidth * 3 / 2, kSmallChartHeight * 3 / 2);
      };
      const unsigned threads = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
      std::vector<std::thread> pool;
      for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
      work();
      for (std::thread& t : pool) t.join();

      bool first = true;
      std::size_t index = 0;
      for (const ReportBlock& b : rep.blocks) {
        if (b.charts.empty()) continue;
        L.space(L.pt(12));
        if (first) {
          L.newPage();
          L.text(QString::fromStdString(rep.chartsHeading), h1, QColor(0x1F, 0x38, 0x64));
          L.space(L.pt(6));
        }
        first = false;
        // The heading stays with the charts.
        L.need(L.pt(40) + L.mm(100));
        L.text(QString::fromStdString(b.heading), h2, QColor(0x2F, 0x54, 0x96));
        L.space(L.pt(4));
        L.pictures({images[index]}, {1.0});
        if (b.charts.size() > 2) L.pictures({images[index + 1], images[index + 2]}, {0.5, 0.5});
        index += b.charts.size();
      }
    }
    p.end();
  }
  if (bytes.isEmpty()) return Status::error("the PDF document could not be made: " + out.string());
  return writeFileAtomic(out, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                            static_cast<std::size_t>(bytes.size())));
}

}  // namespace rc
