// analyse: loads a session (or one IBI series file) as the program does,
// computes the statistics and prints the HRV table and the signal table as
// CSV with "." as the decimal separator, whatever the locale.
#include <unistd.h>

#include <cstdio>
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

namespace rc::cli {
namespace {

// Messages go to stderr; questions take their default answer.
class ConsoleUi : public UserInterface {
 public:
  void showMessage(const Message& m, Icon) override {
    std::fprintf(stderr, "rhythmcraft-cli: %s\n", m.text.c_str());
  }
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

// The statistics page's header (the caption, one blank and the suffix,
// passed through the format once, so a stored "%%" becomes "%"), tidied.
std::string header(int id, const std::string& suffix = {}) {
  return tidy(collapsePercents(str(id) + " " + suffix));
}

std::vector<std::string> hrvHeaders(const AnalysisSettings& s) {
  std::vector<std::string> h = {header(139), header(361), header(140), header(362),
                                header(253), header(254), header(255)};
  h.push_back(tidy(substituteArg(str(256) + " ", static_cast<long long>(s.nnInterval))));
  h.push_back(tidy(substituteArg(str(257) + " ", static_cast<long long>(s.nnInterval))));
  h.push_back(header(258));
  switch (s.bandUnits) {
    case 1:
      h.insert(h.end(), {header(259, str(282)), header(260), header(261)});
      break;
    case 2:
      h.insert(h.end(), {header(259, "(%%)"), header(262, "(%%)"), header(281, "(%%)")});
      break;
    default:
      h.insert(h.end(), {header(259, str(282)), header(262), header(281)});
      break;
  }
  h.push_back(header(262, " / " + str(281)));
  h.push_back(header(263, str(282)));
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
  printLine(out, {header(139), header(361), header(140), header(362), header(253), header(254), header(271),
                  header(272), header(273), header(274), header(275), header(324), header(276)});
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
  std::string root, ibi, source, error;
  std::optional<int> client, session, epoch, nn, units, option;
  takeOption(args, "--data-root", root);
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
  if (ibi.empty() && (root.empty() || !client || !session))
    return usageError("give --data-root, --client and --session, or --ibi FILE");

  ConsoleUi ui;
  std::unique_ptr<AnalysisSession> s;
  if (!ibi.empty()) {
    s = loadIbiFileForAnalysis(ibi, ui);
    if (s) s->settings.nnInterval = 50;
  } else {
    setDataRoot(root);
    SessionLoadRequest request{root, programFolder(), *client, *session, {}};
    // Detection on a long recording takes a while: a terminal sees how far it is.
    int shown = -1;
    if (::isatty(2))
      request.progress = [&shown](std::size_t done, std::size_t total) {
        const int percent = total ? static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total)) : 0;
        if (percent == shown) return;
        shown = percent;
        std::fprintf(stderr, "\rrhythmcraft-cli: detecting beats and breaths: %3d%%", percent);
        if (percent >= 100) std::fputc('\n', stderr);
      };
    s = loadSessionForAnalysis(request, ui);
    if (shown >= 0 && shown < 100) std::fputc('\n', stderr);
  }
  if (!s) return 1;
  if (epoch) s->settings.epochTime = *epoch;
  if (nn) s->settings.nnInterval = *nn;
  if (units) s->settings.bandUnits = *units;
  if (option) s->settings.statisticOption = *option;
  if (hasSource)
    s->settings.ibiSource = source == "ekg" ? kSourceEkg : source == "bvp" ? kSourceBvp : kSourceBoth;

  // A selected source without its series (no such channel, or a file that
  // could not be read) is named here rather than taken for a short session.
  if (selectionUsesEkg(s->settings.ibiSource) && !s->ekg)
    return failure("the session has no EKG interval series");
  if (selectionUsesBvp(s->settings.ibiSource) && !s->bvp)
    return failure("the session has no BVP interval series");

  EpochInputs inputs = s->epochInputs();
  EpochResults results;
  const EpochTimeStore store{s->configFromFile ? &s->config : nullptr, s->configFile};
  const SessionAnalysisOutcome outcome = analyseLoadedSession(inputs, store, results, ui);
  if (outcome == SessionAnalysisOutcome::NoIntervals) return failure(str(248));
  if (outcome != SessionAnalysisOutcome::Ready) return 1;
  s->settings.epochTime = inputs.epochSeconds;
  const std::string text = tables(*s, results);
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    return failure("the tables could not be written");
  return 0;
}

const CommandRegistrar reg(
    {"analyse",
     "--data-root DIR --client C --session S [--epoch 60|180|300|600] [--nn MS] "
     "[--units 0|1|2] [--option 0|1] [--source ekg|bvp|both] | --ibi FILE [options]",
     "computes the statistics of a session (or of one IBI series file) and prints the HRV "
     "and signal tables as CSV",
     run});

}  // namespace
}  // namespace rc::cli
