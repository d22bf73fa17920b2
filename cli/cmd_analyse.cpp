// analyse: loads a session (or one IBI series file) as the program does,
// computes the statistics and prints the HRV table and the signal table as
// CSV with "." as the decimal separator, whatever the locale.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "analysis/series/series_find.h"
#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "cli/command.h"
#include "store/data_root.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/paths.h"
#include "views/statistics/statistics_table.h"

namespace rc::cli {
namespace {

std::string csvField(const std::string& s) {
  if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

void printLine(std::string& out, const std::vector<std::string>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) out += ',';
    out += csvField(fields[i]);
  }
  out += '\n';
}

// A column name for scripts: the text with its runs of blanks made single
// and no blank at either end.
std::string tidy(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The statistics page's HRV headers, tidied.
std::vector<std::string> hrvHeaders(const AnalysisSettings& s) {
  std::vector<std::string> h = rc::hrvHeaders(s.nnInterval, s.bandUnits);
  for (std::string& t : h) t = tidy(t);
  return h;
}

std::vector<std::string> idCells(const RowId& id, bool scripted, const std::string& name) {
  if (!scripted) return {"0", "0", "0", "0", strprintf("%d", id.epoch), name};
  return {strprintf("%d", id.activity), id.activityLabel,
          strprintf("%d", id.step),     id.stepLabel,
          strprintf("%d", id.epoch),    name};
}

std::string tables(const AnalysisSession& s, const EpochResults& r) {
  const bool scripted = !s.openSession;
  const int option = s.settings.statisticOption;
  std::string out;
  printLine(out, hrvHeaders(s.settings));
  for (const HrvTableRow& row : r.hrvTable(scripted, option)) {
    std::vector<std::string> f = idCells(row.id, scripted, s.sourceName(row.row.source));
    for (std::string& c : hrvCells(row.row, '.')) f.push_back(std::move(c));
    printLine(out, f);
  }
  out += '\n';
  std::vector<std::string> signalHeads = signalHeaders();
  for (std::string& t : signalHeads) t = tidy(t);
  printLine(out, signalHeads);
  for (const SignalTableRow& row : r.signalTable(scripted, option)) {
    std::vector<std::string> f = idCells(row.id, scripted, s.signalName(row.row.signal));
    for (std::string& c : signalCells(row.row, '.')) f.push_back(std::move(c));
    printLine(out, f);
  }
  return out;
}

bool takeInt(std::vector<std::string>& args, const char* name, int lo, int hi, std::optional<int>& out,
             std::string& error) {
  std::string v;
  if (!takeOption(args, name, v)) return true;
  auto n = parseInteger(v);
  if (!n || *n < lo || *n > hi) {
    error = strprintf("%s takes a whole number from %d to %d", name, lo, hi);
    return false;
  }
  out = static_cast<int>(*n);
  return true;
}

int run(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  std::string ibi, source, error;
  std::optional<int> client, session, epoch, nn, units, option;
  const bool rootGiven = std::find_if(args.begin(), args.end(), [](const std::string& a) {
                           return a == "--data-root" || a.rfind("--data-root=", 0) == 0;
                         }) != args.end();
  std::optional<std::filesystem::path> root = takeDataRoot(args, error);
  if (!root && rootGiven) return usageError(error);
  takeOption(args, "--ibi", ibi);
  const bool hasSource = takeOption(args, "--source", source);
  if (!takeInt(args, "--client", 1, 0x7FFFFFFF, client, error) ||
      !takeInt(args, "--session", 1, 0x7FFFFFFF, session, error) ||
      !takeInt(args, "--epoch", 60, 600, epoch, error) || !takeInt(args, "--nn", 10, 2000, nn, error) ||
      !takeInt(args, "--units", 0, 2, units, error) || !takeInt(args, "--option", 0, 1, option, error))
    return usageError(error);
  if (epoch && *epoch != 60 && *epoch != 180 && *epoch != 300 && *epoch != 600)
    return usageError("--epoch takes 60, 180, 300 or 600");
  if (hasSource && source != "ekg" && source != "bvp" && source != "both")
    return usageError("--source takes ekg, bvp or both");
  if (!args.empty()) return usageError("unknown argument: " + args.front());
  if (ibi.empty() && (!client || !session)) return usageError("give --client and --session, or --ibi FILE");
  if (ibi.empty() && !root) return usageError(error);

  ConsoleUi ui;
  std::unique_ptr<AnalysisSession> s;
  if (!ibi.empty()) {
    s = loadIbiFileForAnalysis(ibi, ui);
    if (s) s->settings.nnInterval = 50;
  } else {
    std::error_code ec;
    if (!std::filesystem::is_directory(*root, ec))
      return fileFailure(*root, "the data root is not a folder (give --data-root DIR, or make one with make-demo)");
    setDataRoot(*root);
    SessionLoadRequest request{*root, programFolder(), *client, *session, {}};
    // Detection on a long recording takes a while: a terminal sees how far it is.
    int shown = -1;
    if (::isatty(2))
      request.progress = [&shown](std::size_t done, std::size_t total) {
        const int percent =
            total ? static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total)) : 0;
        if (percent == shown) return;
        shown = percent;
        std::fprintf(stderr, "\rrhythmcraft-cli: detecting beats and breaths: %3d%%", percent);
        if (percent >= 100) std::fputc('\n', stderr);
      };
    s = loadSessionForAnalysis(request, ui);
    if (shown >= 0 && shown < 100) std::fputc('\n', stderr);
  }
  if (!s) return kExitFailure;
  if (epoch) s->settings.epochTime = *epoch;
  if (nn) s->settings.nnInterval = *nn;
  if (units) s->settings.bandUnits = *units;
  if (option) s->settings.statisticOption = *option;
  if (hasSource)
    s->settings.ibiSource = source == "ekg" ? kSourceEkg : source == "bvp" ? kSourceBvp : kSourceBoth;

  // A selected source without its series (no such channel, or a file that
  // could not be read) is named here rather than taken for a short session.
  auto noSeries = [&](const char* what) {
    std::string text = std::string("the session has no ") + what + " interval series";
    for (const std::string& p : s->problems) text += "\n  " + p;
    return failure(text);
  };
  if (selectionUsesEkg(s->settings.ibiSource) && !s->ekg) return noSeries("EKG");
  if (selectionUsesBvp(s->settings.ibiSource) && !s->bvp) return noSeries("BVP");

  EpochInputs inputs = s->epochInputs();
  EpochResults results;
  const EpochTimeStore store{s->configFromFile ? &s->config : nullptr, s->configFile};
  const SessionAnalysisOutcome outcome = analyseLoadedSession(inputs, store, results, ui);
  if (outcome == SessionAnalysisOutcome::NoIntervals) return failure(str(248));
  if (outcome != SessionAnalysisOutcome::Ready) return kExitFailure;
  s->settings.epochTime = inputs.epochSeconds;
  if (!writeOut(tables(*s, results))) return kExitFailure;

  // The tables are printed; whatever kept them from being complete is named
  // and fails the command.
  std::vector<std::string> missing = s->problems;
  if (results.missingSignalRows > 0)
    missing.push_back(strprintf("%lld signal rows could not be computed (an EMG window beyond its RMS series)",
                                static_cast<long long>(results.missingSignalRows)));
  if (missing.empty()) return kExitOk;
  std::string text = "the tables could not be fully computed:";
  for (const std::string& p : missing) text += "\n  " + p;
  return failure(text);
}

constexpr const char* kHelp =
    "Loads a session as the review window does (its series files are read, or detected and\n"
    "written when missing) and prints two CSV tables separated by a blank line: the HRV table\n"
    "and the signal table, with \".\" as the decimal separator.\n"
    "\n"
    "options:\n"
    "  --client C        the client's id (with --session)\n"
    "  --session S       the session's id\n"
    "  --ibi FILE        analyse one IBI series file as an open session instead (BVP when the\n"
    "                    name starts with IBIFromBVP, else EKG)\n"
    "%s"
    "  --epoch SECONDS   epoch length: 60, 180, 300 or 600 (default: the session's setting)\n"
    "  --nn MS           the NN threshold in ms, 10 to 2000 (default: the session's; 50 with --ibi)\n"
    "  --units 0|1|2     band power units: 0 absolute, 1 normalised, 2 percent\n"
    "  --option 0|1      1: step records of a scripted session instead of epoch rows\n"
    "  --source ekg|bvp|both   the IBI sources analysed\n"
    "\n"
    "exit status: 0 when both tables are complete; 1 when the session cannot be analysed or a\n"
    "table is incomplete (a damaged input, rows that could not be computed: the reasons are on\n"
    "stderr, the tables are still printed when they could be); 2 for a usage error.\n";

const CommandRegistrar reg(
    {"analyse",
     "[--data-root DIR] --client C --session S [--epoch 60|180|300|600] [--nn MS] "
     "[--units 0|1|2] [--option 0|1] [--source ekg|bvp|both] | --ibi FILE [options]",
     "computes the statistics of a session (or of one IBI series file) and prints the HRV "
     "and signal tables as CSV",
     run, strprintf(kHelp, kDataRootHelp)});

}  // namespace
}  // namespace rc::cli
