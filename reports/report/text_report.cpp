#include "reports/report/text_report.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <ctime>
#include <map>

#include "analysis/series/series_find.h"
#include "app/review_context.h"
#include "reports/docx/docx_document.h"
#include "store/ado_database.h"
#include "store/records.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"
#include "views/statistics/statistics_table.h"

namespace rc {
namespace {

constexpr std::uint32_t kEkgColour = 0xC00000;
constexpr std::uint32_t kBvpColour = 0x1F4E79;

// New texts of the report (see the language table).
constexpr int kTachogramTitleId = 6400;
constexpr int kPoincareTitleId = 6401;
constexpr int kSpectrumTitleId = 6402;
constexpr int kChartsHeadingId = 6403;
constexpr int kSessionTableCaptionId = 6404;
constexpr int kHeartRateVariabilityId = 6405;

std::string tidy(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}


// The captions of the HRV statistic cells (columns 6 to 14) and of the
// signal columns (5 to 12), as the statistics page heads them.
std::vector<std::string> hrvCaptions(const AnalysisSettings& s) {
  std::vector<std::string> h = hrvHeaders(s.nnInterval, s.bandUnits), out;
  for (std::size_t i = 6; i < h.size(); ++i) out.push_back(tidy(h[i]));
  return out;
}

std::vector<std::string> signalCaptions() {
  std::vector<std::string> h = signalHeaders(), out;
  for (std::size_t i = 5; i < h.size(); ++i) out.push_back(tidy(h[i]));
  return out;
}

// Lays out a text table in columns: the first left-aligned, the others
// right-aligned, two blanks between columns. A table wider than maxWidth
// characters is cut into parts of whole columns, each repeating the first.
std::string textTable(const std::vector<std::vector<std::string>>& rows, std::size_t maxWidth = 72) {
  std::vector<std::size_t> width;
  auto chars = [](const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
  };
  for (const auto& r : rows)
    for (std::size_t c = 0; c < r.size(); ++c) {
      if (width.size() <= c) width.push_back(0);
      width[c] = std::max(width[c], chars(r[c]));
    }
  std::string out;
  std::size_t from = 1;
  do {
    std::size_t to = from, used = width.empty() ? 0 : width[0];
    while (to < width.size() && (to == from || used + 2 + width[to] <= maxWidth)) used += 2 + width[to++];
    if (!out.empty()) out += "\n";
    for (const auto& r : rows) {
      std::string line;
      for (std::size_t c = 0; c < r.size(); ++c) {
        if (c != 0 && (c < from || c >= to)) continue;
        const std::string pad(width[c] - chars(r[c]), ' ');
        if (c == 0)
          line += r[c] + pad;
        else
          line += "  " + pad + r[c];
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      out += line + "\n";
    }
    from = to;
  } while (from < width.size());
  return out;
}

struct RowKey {
  std::int32_t activity, step, epoch;
  auto operator<=>(const RowKey&) const = default;
};

// The statistics of one epoch row: the HRV statistics with one column per
// IBI source, then the signals with one line each.
std::string epochStatistics(const AnalysisSession& s, const std::vector<const HrvTableRow*>& hrv,
                            const std::vector<const SignalTableRow*>& sig) {
  std::string out;
  if (!hrv.empty()) {
    std::vector<std::vector<std::string>> t;
    std::vector<std::string> head = {str(kHeartRateVariabilityId)};
    for (const HrvTableRow* r : hrv) head.push_back(s.sourceName(r->row.source));
    t.push_back(head);
    const std::vector<std::string> caps = hrvCaptions(s.settings);
    std::vector<std::vector<std::string>> cells;
    for (const HrvTableRow* r : hrv) cells.push_back(hrvCells(r->row));
    for (std::size_t i = 0; i < caps.size(); ++i) {
      std::vector<std::string> line = {caps[i]};
      for (const auto& c : cells) line.push_back(i < c.size() ? tidy(c[i]) : std::string("-"));
      t.push_back(line);
    }
    out += textTable(t);
  }
  if (!sig.empty()) {
    if (!out.empty()) out += "\n";
    std::vector<std::vector<std::string>> t;
    t.push_back(signalCaptions());
    for (const SignalTableRow* r : sig) {
      std::vector<std::string> line = {s.signalName(r->row.signal)};
      for (std::string& c : signalCells(r->row)) line.push_back(tidy(c));
      t.push_back(line);
    }
    out += textTable(t);
  }
  return out;
}

// The intervals of the chosen series between two times of its own axis.
ChartWindow openEpochWindow(const IntervalSeries& series, const std::vector<IntervalSpan>& spans, std::size_t k,
                            int epochSeconds) {
  ChartWindow w;
  const IntervalSpan& sp = spans[k];
  w.intervals = std::span<const float>(series.values).subspan(sp.first, sp.count);
  w.firstStart = sp.firstStart;
  w.from = static_cast<double>(k) * epochSeconds;
  w.to = w.from + epochSeconds;
  if (sp.first > 0) w.before = series.values[sp.first - 1];
  return w;
}

std::vector<ChartSpec> chartsOf(const ChartWindow& w, const SpectralGrid& grid, std::uint32_t colour) {
  return {tachogramChart(w, str(kTachogramTitleId), colour), poincareChart(w, str(kPoincareTitleId), colour),
          spectrumChart(w, grid, str(kSpectrumTitleId), colour)};
}

}  // namespace

ReportSeries availableReportSeries(const AnalysisSession& s) {
  ReportSeries a;
  const int src = s.settings.ibiSource;
  a.ekg = s.ekg.has_value() && (src == kSourceEkg || src == kSourceBoth);
  a.bvp = s.bvp.has_value() && src != kSourceEkg;
  return a;
}

bool acceptReportOptions(const ReportOptions& o, UserInterface& ui) {
  if (o.graphs || o.statistics) return true;
  return ui.askYesNo(messageOf(kReportHeaderOnlyId), false, Icon::Question);
}

ReportHeaderTexts readReportHeaderTexts(const std::filesystem::path& dataRoot, int clientId, int sessionId) {
  ReportHeaderTexts h;
  char buf[64];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  if (std::strftime(buf, sizeof buf, "%x", &tm)) h.date = buf;
  try {
    CADODatabase db;
    if (!db.open(dataRoot / kMainDatabaseName, CADODatabase::Mode::ReadOnly)) return h;
    {
      CRecSettings set(db);
      set.openQuery("SELECT * FROM [Settings]");
      if (!set.isEOF()) h.clinicCaption = set.ClinicLabel;
    }
    {
      CRecClients c(db);
      c.openQuery(strprintf("SELECT * FROM [Clients] WHERE ClientID = %d", clientId));
      if (!c.isEOF()) {
        h.clientCaption = str(323) + ": ";
        if (!c.ClinicID.empty()) h.clientCaption += c.ClinicID + " - ";
        h.clientCaption += c.FirstName + " " + c.LastName;
      }
    }
    {
      CRecSessions r(db);
      r.openQuery(strprintf("SELECT * FROM [Sessions] WHERE ClientID = %d AND SessionID = %d", clientId, sessionId));
      if (!r.isEOF() && !r.DateTime.isNull()) {
        std::tm st{};
        st.tm_year = r.DateTime.year - 1900;
        st.tm_mon = r.DateTime.month - 1;
        st.tm_mday = r.DateTime.day;
        st.tm_hour = r.DateTime.hour;
        st.tm_min = r.DateTime.minute;
        st.tm_sec = r.DateTime.second;
        char d[64] = "", t[64] = "";
        std::strftime(d, sizeof d, "%x", &st);
        std::strftime(t, sizeof t, "%X", &st);
        h.sessionCaption = str(345) + ": " + d + "\t\t" + str(346) + ": " + t;
      }
    }
  } catch (...) {
    // An unreadable database leaves the texts it could not read empty.
  }
  return h;
}

Result<TextReport> buildTextReport(const AnalysisSession& s, const EpochResults& r, const ReportOptions& o,
                                   const ReportHeaderTexts& header, UserInterface& ui) {
  TextReport rep;
  rep.statistics = o.statistics;
  rep.graphs = o.graphs;
  rep.reportType = str(kReportTypeId);
  rep.date = header.date;
  rep.clinicCaption = header.clinicCaption;
  rep.client = substituteArgs(std::string("%s, %s: "), header.clientCaption, str(108)) +
               strprintf("%d\n", s.clientId) + header.sessionCaption;
  rep.chartsHeading = str(kChartsHeadingId);

  if (o.statistics) {
    rep.sessionTableCaption = str(kSessionTableCaptionId);
    // The statistics page's session table, as it shows it.
    std::vector<std::string> head;
    for (const std::string& h : sessionHeaders()) head.push_back(tidy(h));
    rep.sessionTable.push_back(head);
    for (const SessionTableRow& row : sessionTableRows(s, r, localeSeparators().decimal))
      rep.sessionTable.push_back({row.caption, tidy(row.value)});
  }

  const bool scripted = !s.openSession;
  const int option = s.settings.statisticOption;
  const IntervalSeries* series = o.signal == kSlotBvp ? (s.bvp ? &*s.bvp : nullptr) : (s.ekg ? &*s.ekg : nullptr);
  const std::uint32_t colour = o.signal == kSlotBvp ? kBvpColour : kEkgColour;
  const int E = s.settings.epochTime;
  const SpectralGrid grid = spectralGrid(E);

  // The rows grouped by epoch (open) or step (scripted), in table order.
  std::map<RowKey, std::pair<std::vector<const HrvTableRow*>, std::vector<const SignalTableRow*>>> rows;
  std::vector<std::pair<std::int32_t, std::int32_t>> order;  // (activity, step) or (0, epoch)
  auto groupOf = [&](const RowId& id) {
    return scripted ? std::make_pair(id.activity, id.step) : std::make_pair(0, id.epoch);
  };
  std::map<std::pair<std::int32_t, std::int32_t>, std::pair<std::string, std::string>> labels;
  for (const HrvTableRow& h : r.hrvTable(scripted, option)) {
    if (std::find(order.begin(), order.end(), groupOf(h.id)) == order.end()) order.push_back(groupOf(h.id));
    rows[{h.id.activity, h.id.step, h.id.epoch}].first.push_back(&h);
    labels[groupOf(h.id)] = {h.id.activityLabel, h.id.stepLabel};
  }
  for (const SignalTableRow& g : r.signalTable(scripted, option)) {
    if (std::find(order.begin(), order.end(), groupOf(g.id)) == order.end()) order.push_back(groupOf(g.id));
    rows[{g.id.activity, g.id.step, g.id.epoch}].second.push_back(&g);
    labels[groupOf(g.id)] = {g.id.activityLabel, g.id.stepLabel};
  }
  if (!scripted && order.empty()) {
    // No rows at all: the epochs alone give the blocks (charts only).
    for (std::int64_t k = 1; k <= r.epochCount; ++k) order.push_back({0, static_cast<std::int32_t>(k)});
  }

  std::vector<IntervalSpan> spans;
  if (!scripted && series && o.graphs) spans = openEpochSpans(series->values, r.epochCount, E);
  SegmentIndex segs;
  if (scripted && series && o.graphs) segs = segmentIndex(*series, series->segments.size());

  for (const auto& g : order) {
    ReportBlock b;
    if (!scripted) {
      b.heading = substituteArgs(std::string("%s %d"), str(253), static_cast<long long>(g.second));
    } else {
      const auto& lab = labels[g];
      b.heading = substituteArgs(std::string("%s %d: "), str(361), static_cast<long long>(g.first)) +
                   lab.first + "\n" + substituteArgs(std::string("%s %d: "), str(362), static_cast<long long>(g.second)) +
                   lab.second;
    }
    if (o.statistics) {
      std::vector<RowKey> keys;
      for (const auto& [k, v] : rows)
        if ((scripted && k.activity == g.first && k.step == g.second) || (!scripted && k.epoch == g.second))
          keys.push_back(k);
      for (const RowKey& k : keys) {
        if (keys.size() > 1) {
          b.statistics += (b.statistics.empty() ? "" : "\n") +
                          substituteArgs(std::string("%s %d"), str(253), static_cast<long long>(k.epoch)) + "\n";
        }
        b.statistics += epochStatistics(s, rows[k].first, rows[k].second);
      }
    }
    if (o.graphs && series) {
      if (!scripted) {
        const std::size_t k = static_cast<std::size_t>(g.second - 1);
        if (k < spans.size()) b.charts = chartsOf(openEpochWindow(*series, spans, k, E), grid, colour);
      } else {
        auto st = std::find_if(r.steps.begin(), r.steps.end(),
                               [&](const StepEntry& e) { return e.activity == g.first && e.step == g.second; });
        if (st == r.steps.end()) {
          ui.showMessage(messageOf(kStepNotInFramingId), Icon::Warning);
          return Status::error(str(kStepNotInFramingId));
        }
        if (st->segment < segs.size()) {
          const IntervalSpan sp = segs.span(st->segment);
          ChartWindow w;
          w.intervals = std::span<const float>(series->values).subspan(sp.first, sp.count);
          w.firstStart = sp.firstStart;
          w.from = scriptedEpochStart(st->start, 1, E, sp.firstStart);
          w.to = w.from + static_cast<double>(std::max<std::int64_t>(st->epochs, 1)) * E;
          // The spectrum is that of the step's first epoch.
          std::vector<ChartSpec> c = chartsOf(w, grid, colour);
          ChartWindow first = w;
          first.to = w.from + E;
          c[2] = spectrumChart(first, grid, str(kSpectrumTitleId), colour);
          b.charts = std::move(c);
        }
      }
    }
    rep.blocks.push_back(std::move(b));
  }
  return rep;
}

Status writeTextReportDocx(const TextReport& rep, const std::filesystem::path& templateFile,
                           const std::filesystem::path& out, const ChartRenderer& render) {
  auto opened = DocxDocument::open(templateFile);
  if (!opened) return opened.status();
  DocxDocument& d = *opened;
  d.setBookmarkText("ReportType", rep.reportType);
  d.setBookmarkText("Date", rep.date);
  d.setBookmarkText("ClinicCaption", rep.clinicCaption);
  d.setBookmarkText("Client", rep.client);
  const DocxRunFormat mono{"Courier New", 22, false};
  if (rep.statistics) {
    d.setBookmarkText("SessionStatTableCaption", rep.sessionTableCaption);
    DocxTable t;
    t.rows = rep.sessionTable;
    t.columnWidths = {7200, 2438};
    d.insertTable("SessionStatTable", t);
    for (const ReportBlock& b : rep.blocks) {
      if (b.statistics.empty()) continue;
      d.insertParagraphs("SessionStatTable", b.heading + "\n", {"Courier New", 22, true});
      d.insertParagraphs("SessionStatTable", b.statistics, mono);
    }
  }
  if (rep.graphs && render) {
    // The pictures are drawn on every core, then put in order.
    std::vector<const ChartSpec*> charts;
    std::vector<bool> wideChart;  // the first chart of a block spans the text width
    for (const ReportBlock& b : rep.blocks)
      for (const ChartSpec& c : b.charts) {
        wideChart.push_back(&c == &b.charts.front());
        charts.push_back(&c);
      }
    std::vector<std::vector<std::uint8_t>> pngs(charts.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      for (std::size_t i; (i = next.fetch_add(1)) < charts.size();) {
        const bool wide = wideChart[i];
        pngs[i] = render(*charts[i], wide ? kTachogramWidth : kSmallChartWidth,
                         wide ? kTachogramHeight : kSmallChartHeight);
      }
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
      if (first) d.insertParagraphs("GraphNormal", rep.chartsHeading, {}, "Heading1");
      first = false;
      d.insertParagraphs("GraphNormal", b.heading, {}, "Heading2");
      for (std::size_t i = 0; i < b.charts.size(); ++i, ++index) {
        const bool wide = i == 0;
        const int w = wide ? kTachogramWidth : kSmallChartWidth;
        const int h = wide ? kTachogramHeight : kSmallChartHeight;
        if (pngs[index].empty()) continue;
        d.insertPicture("GraphNormal", std::move(pngs[index]), w, h, b.charts[i].title);
      }
    }
  }
  return d.save(out);
}

}  // namespace rc
