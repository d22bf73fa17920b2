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
#include <QTextDocument>
#include <QUrl>
#include <cmath>
#include <cstdlib>

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
  const QRectF plot(area.left() + left, area.top() + top, area.width() - left - 10, area.height() - top - bottom);
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
  const double xs = tickStep(x1 - x0, 6), ys = tickStep(y1 - y0, 5);
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

QString esc(const std::string& s) { return QString::fromStdString(s).toHtmlEscaped(); }

QString lines(const std::string& s) {
  QString t = esc(s);
  t.replace("\t", "&nbsp;&nbsp;&nbsp;&nbsp;");
  t.replace("\n", "<br/>");
  return t;
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
  writer.setCompression(1);
  if (!writer.write(img)) return {};
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

ChartRenderer reportChartRenderer() { return &renderChartPng; }

Status writeTextReportPdf(const TextReport& rep, const std::filesystem::path& out) {
  ensureReportGraphics();
  QTextDocument doc;
  doc.setDefaultFont(QFont("DejaVu Sans", 9));
  doc.setDocumentMargin(0);
  QString html = "<html><body>";
  html += "<table width='100%' cellspacing='0' cellpadding='0'><tr><td><span style='font-size:17pt; font-weight:bold; "
          "color:#1F3864'>" +
          esc(rep.reportType) + "</span></td><td align='right' style='color:#595959'>" + esc(rep.date) +
          "</td></tr></table>";
  html += "<p style='font-size:11pt; color:#404040; margin-bottom:12px'>" + esc(rep.clinicCaption) + "</p>";
  html += "<hr/>";
  html += "<p>" + lines(rep.client) + "</p>";
  if (rep.statistics) {
    html += "<h2 style='color:#1F3864; font-size:12pt'>" + esc(rep.sessionTableCaption) + "</h2>";
    html += "<table border='1' cellspacing='0' cellpadding='4' style='border-color:#7F7F7F; border-style:solid'>";
    for (std::size_t r = 0; r < rep.sessionTable.size(); ++r) {
      html += r == 0 ? "<tr style='background-color:#DCE6F0; font-weight:bold'>" : "<tr>";
      for (const std::string& c : rep.sessionTable[r]) html += "<td>" + esc(c) + "</td>";
      html += "</tr>";
    }
    html += "</table>";
    for (const ReportBlock& b : rep.blocks) {
      if (b.statistics.empty()) continue;
      html += "<pre style='font-family:\"Courier New\",\"Liberation Mono\",monospace; font-size:9pt'><b>" +
              esc(b.heading) + "</b>\n\n" + esc(b.statistics) + "</pre>";
    }
  }
  int image = 0;
  if (rep.graphs) {
    bool first = true;
    for (const ReportBlock& b : rep.blocks) {
      if (b.charts.empty()) continue;
      if (first) html += "<h2 style='color:#1F3864; font-size:12pt'>" + esc(rep.chartsHeading) + "</h2>";
      first = false;
      html += "<h3 style='color:#2F5496; font-size:10pt'>" + lines(b.heading) + "</h3><p align='center'>";
      for (std::size_t i = 0; i < b.charts.size(); ++i) {
        const bool wide = i == 0;
        const int w = wide ? kTachogramWidth : kSmallChartWidth;
        const int h = wide ? kTachogramHeight : kSmallChartHeight;
        const QString url = QString("chart://%1").arg(image++);
        doc.addResource(QTextDocument::ImageResource, QUrl(url), chartImage(b.charts[i], w * 2, h * 2));
        html += QString("<img src='%1' width='%2' height='%3'/>").arg(url).arg(w).arg(h);
        if (wide) html += "<br/>";
      }
      html += "</p>";
    }
  }
  html += "</body></html>";
  doc.setHtml(html);

  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setTitle(QString::fromStdString(rep.reportType));
    pdf.setCreator("Rhythmcraft");
    pdf.setResolution(300);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                                  QPageLayout::Millimeter));
    doc.print(&pdf);
  }
  if (bytes.isEmpty()) return Status::error("the PDF document could not be made: " + out.string());
  return writeFileAtomic(out, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                            static_cast<std::size_t>(bytes.size())));
}

}  // namespace rc
