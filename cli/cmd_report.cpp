// report: writes the text report of a session (header, session table, one
// statistics block and three charts per epoch or script step) as a
// word-processor document (.docx, from the program's report template) or as
// a PDF document, without a window.
#include <cctype>
#include <clocale>
#include <cstdio>
#include <string>

#include "app/review_context.h"
#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "cli/command.h"
#include "reports/report/text_report.h"
#include "store/data_root.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/paths.h"
#ifdef RC_HAVE_REPORT_GRAPHICS
#include "reports/ui/report_render.h"
#endif

namespace rc::cli {
namespace {

// Messages go to stderr; questions take their default answer.
class ReportConsoleUi : public UserInterface {
 public:
  void showMessage(const Message& m, Icon) override { std::fprintf(stderr, "rhythmcraft-cli: %s\n", m.text.c_str()); }
  bool askYesNo(const Message& m, bool defaultYes, Icon) override {
    std::fprintf(stderr, "rhythmcraft-cli: %s %s\n", m.text.c_str(), defaultYes ? "Yes" : "No");
    return defaultYes;
  }
  bool askOkCancel(const Message& m, Icon) override {
    std::fprintf(stderr, "rhythmcraft-cli: %s\n", m.text.c_str());
    return false;
  }
  std::optional<std::string> enterString(const Message&, const std::string&) override { return std::nullopt; }
};

bool endsWith(const std::string& s, const std::string& suffix) {
  if (s.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - suffix.size() + i])) != suffix[i]) return false;
  return true;
}

constexpr const char* kUsage =
    "--data-root DIR --client C --session S [--signal ekg|bvp] [--no-graphs] [--no-statistics] "
    "--out FILE.docx|FILE.pdf";

int run(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  std::string root, client, session, signal, out;
  takeOption(args, "--data-root", root);
  takeOption(args, "--client", client);
  takeOption(args, "--session", session);
  const bool hasSignal = takeOption(args, "--signal", signal);
  takeOption(args, "--out", out);
  ReportOptions options;
  options.graphs = !takeFlag(args, "--no-graphs");
  options.statistics = !takeFlag(args, "--no-statistics");
  if (!args.empty()) return usageError("unknown argument: " + args.front());
  if (root.empty() || client.empty() || session.empty() || out.empty())
    return usageError(std::string("usage: report ") + kUsage);
  const auto clientId = parseInteger(client), sessionId = parseInteger(session);
  if (!clientId || *clientId < 1 || *clientId > 0x7FFFFFFF || !sessionId || *sessionId < 1 ||
      *sessionId > 0x7FFFFFFF)
    return usageError("--client and --session take whole numbers from 1");
  if (hasSignal && signal != "ekg" && signal != "bvp") return usageError("--signal takes ekg or bvp");
  const bool pdf = endsWith(out, ".pdf");
  if (!pdf && !endsWith(out, ".docx")) return usageError("--out names a .docx or a .pdf file");
#ifndef RC_HAVE_REPORT_GRAPHICS
  return failure("this build draws no charts and writes no PDF (built without the user interface)");
#else
  std::setlocale(LC_TIME, "");
  ReportConsoleUi ui;
  setDataRoot(root);
  auto s = loadSessionForAnalysis(
      SessionLoadRequest{root, programFolder(), static_cast<int>(*clientId), static_cast<int>(*sessionId), {}}, ui);
  if (!s) return 1;
  const ReportSeries available = availableReportSeries(*s);
  if (!available.any()) return failure(str(kReportNoSeriesId));
  if (hasSignal) {
    options.signal = signal == "bvp" ? kSlotBvp : kSlotEkg;
    if ((options.signal == kSlotBvp && !available.bvp) || (options.signal == kSlotEkg && !available.ekg))
      return failure("the session has no " + std::string(signal == "bvp" ? "BVP" : "EKG") + " series for a report");
  } else {
    options.signal = available.ekg ? kSlotEkg : kSlotBvp;
  }

  EpochInputs inputs = s->epochInputs();
  EpochResults results;
  const EpochTimeStore store{s->configFromFile ? &s->config : nullptr, s->configFile};
  const SessionAnalysisOutcome outcome = analyseLoadedSession(inputs, store, results, ui);
  if (outcome == SessionAnalysisOutcome::NoIntervals) return failure(str(248));
  if (outcome != SessionAnalysisOutcome::Ready) return 1;
  s->settings.epochTime = inputs.epochSeconds;

  const ReportHeaderTexts header = readReportHeaderTexts(root, s->clientId, s->sessionId);
  auto report = buildTextReport(*s, results, options, header, ui);
  if (!report) return 1;
  const Status written =
      pdf ? writeTextReportPdf(*report, out)
          : writeTextReportDocx(*report, programFolder() / kPrintTemplatesFolder / kReportTemplateName, out,
                                reportChartRenderer());
  if (!written) return failure(written.message());
  return 0;
#endif
}

const CommandRegistrar reg({"report", kUsage,
                            "writes the text report of a session (statistics and charts of every epoch or "
                            "script step) as a .docx or a .pdf document",
                            run});

}  // namespace
}  // namespace rc::cli
