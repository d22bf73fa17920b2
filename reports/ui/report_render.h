#pragma once
// Pictures and PDF documents of the reports, drawn by Qt. The header holds
// no Qt type, so the command-line tool can use it too.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "reports/report/report_charts.h"
#include "reports/report/text_report.h"
#include "support/status.h"

namespace rc {

// Makes sure a Qt GUI application object exists (an off-screen one when the
// process has no display), so fonts and images can be drawn.
void ensureReportGraphics();

// A chart as a PNG picture; empty when it cannot be drawn.
std::vector<std::uint8_t> renderChartPng(const ChartSpec& chart, int widthPx, int heightPx);

// The renderer the reports use.
ChartRenderer reportChartRenderer();

// The text report as a PDF document (A4): the same content as the
// word-processor document, the charts as pictures. Written atomically.
Status writeTextReportPdf(const TextReport& report, const std::filesystem::path& out);

}  // namespace rc
