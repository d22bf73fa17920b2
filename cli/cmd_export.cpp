// export: writes the text export files of a session as the review
// container's Export command does (same names, code pages, separators and
// layouts), for batch use.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/series/series_find.h"
#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "cli/command.h"
#include "reports/exports/export_command.h"
#include "reports/exports/export_text.h"
#include "store/data_root.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/paths.h"

namespace rc::cli {
namespace {

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

const char* kUsage =
    "--data-root DIR --client C --session S --kind ibi|periodic|standard|session "
    "[--signal ekg|bvp] [--header] [--time-column] [--integer] [--file-per-epoch] "
    "[--encoding 0|65001|1200|1201|N] [--locale NAME] --out PATH";

const char* kHelp =
    "usage: rhythmcraft-cli export " /* usage follows */;

void printHelp() {
  std::printf("%s%s\n\n", kHelp, kUsage);
  std::printf(
      "Writes one text export of a session, as the Export command of the review window does.\n"
      "  --data-root DIR   the data folder (default: $RHYTHMCRAFT_DATA_ROOT)\n"
      "  --client C        client number\n"
      "  --session S       session number\n"
      "  --kind K          ibi (the IBI series), periodic (HRV table), standard (signal table),\n"
      "                    session (mean SDNN of each IBI source)\n"
      "  --signal ekg|bvp  the IBI series to write when both may be exported (default ekg)\n"
      "  --header          begin with the header block and the column captions\n"
      "  --time-column     ibi: a first column with the time of each beat (s)\n"
      "  --integer         ibi: intervals as whole milliseconds (rounded half up)\n"
      "  --file-per-epoch  ibi: numbered files PATH001.txt ... one per epoch (open session)\n"
      "                    or per activity (scripted session)\n"
      "  --encoding N      0 Windows-1252 (default), 65001 UTF-8, 1200 UTF-16LE, 1201 UTF-16BE,\n"
      "                    other code page numbers through iconv (unknown ones fall back to 0)\n"
      "  --locale NAME     separators and date format of this locale (default: the environment)\n"
      "  --out PATH        the file name; its extension is replaced by \".txt\"\n"
      "Existing files are replaced; each file is written to a temporary file and renamed.\n");
}

int run(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  if (takeFlag(args, "--help") || takeFlag(args, "-h")) {
    printHelp();
    return 0;
  }
  std::string root, kindText, signalText, encodingText, localeText, out, clientText, sessionText;
  takeOption(args, "--data-root", root);
  takeOption(args, "--client", clientText);
  takeOption(args, "--session", sessionText);
  takeOption(args, "--kind", kindText);
  const bool hasSignal = takeOption(args, "--signal", signalText);
  const bool hasEncoding = takeOption(args, "--encoding", encodingText);
  const bool hasLocale = takeOption(args, "--locale", localeText);
  takeOption(args, "--out", out);
  ExportOptions o;
  o.header = takeFlag(args, "--header");
  o.timeColumn = takeFlag(args, "--time-column");
  o.integerIbi = takeFlag(args, "--integer");
  o.filePerEpoch = takeFlag(args, "--file-per-epoch");
  if (!args.empty()) return usageError("unknown argument: " + args.front());
  if (root.empty())
    if (const char* env = std::getenv("RHYTHMCRAFT_DATA_ROOT")) root = env;
  const auto client = parseInteger(clientText);
  const auto session = parseInteger(sessionText);
  if (root.empty() || !client || !session || *client < 1 || *session < 1 || *client > 0x7FFFFFFF ||
      *session > 0x7FFFFFFF || out.empty())
    return usageError(std::string("usage: export ") + kUsage);
  if (kindText == "ibi")
    o.kind = ExportKind::Ibi;
  else if (kindText == "periodic")
    o.kind = ExportKind::Periodic;
  else if (kindText == "standard")
    o.kind = ExportKind::Standard;
  else if (kindText == "session")
    o.kind = ExportKind::Session;
  else
    return usageError("--kind takes ibi, periodic, standard or session");
  if (hasSignal && signalText != "ekg" && signalText != "bvp") return usageError("--signal takes ekg or bvp");
  if (o.kind != ExportKind::Ibi && (o.timeColumn || o.integerIbi || o.filePerEpoch))
    return usageError("--time-column, --integer and --file-per-epoch apply to --kind ibi only");
  std::int32_t codePage = 0;
  if (hasEncoding) {
    const auto n = parseInteger(encodingText);
    if (!n || *n < 0 || *n > 0x7FFFFFFF) return usageError("--encoding takes a code page number");
    codePage = static_cast<std::int32_t>(*n);
    if (!codePageSupported(codePage)) {
      std::fprintf(stderr, "rhythmcraft-cli: code page %d is not known here; writing Windows-1252\n",
                   static_cast<int>(codePage));
      codePage = 0;
    }
  }
  if (hasLocale) {
    setenv("LC_ALL", localeText.c_str(), 1);
    setLocaleSeparators(readUserLocaleSeparators());
  }

  ConsoleUi ui;
  setDataRoot(root);
  std::unique_ptr<AnalysisSession> s =
      loadSessionForAnalysis({root, programFolder(), static_cast<int>(*client), static_cast<int>(*session), {}}, ui);
  if (!s) return 1;

  const ExportableSeries series = exportableSeries(*s);
  if (series == ExportableSeries::None) return failure(str(kNoSeriesId));
  if (series == ExportableSeries::Both)
    o.signal = hasSignal && signalText == "bvp" ? 1 : 0;
  else if (hasSignal && (signalText == "bvp") != (series == ExportableSeries::Bvp))
    return failure(std::string("the session has no exportable ") + (signalText == "bvp" ? "BVP" : "EKG") +
                   " interval series");
  else
    o.signal = series == ExportableSeries::Bvp ? 1 : 0;

  EpochResults results;
  if (o.kind != ExportKind::Ibi) {
    EpochInputs inputs = s->epochInputs();
    const EpochTimeStore store{s->configFromFile ? &s->config : nullptr, s->configFile};
    const SessionAnalysisOutcome outcome = analyseLoadedSession(inputs, store, results, ui);
    if (outcome == SessionAnalysisOutcome::NoIntervals) return failure(str(248));
    if (outcome != SessionAnalysisOutcome::Ready) return 1;
    s->settings.epochTime = inputs.epochSeconds;
  }
  ExportSources src{s.get(), &results, exportSessionInfo(*s)};
  std::filesystem::path base(out);
  if (base.has_extension()) base.replace_extension();
  return writeExport(src, o, base, ui, codePage) ? 0 : 1;
}

const CommandRegistrar reg({"export", kUsage,
                            "writes the IBI series or a statistics table of a session as a text export file "
                            "(the user's separators; --help for details)",
                            run});

}  // namespace
}  // namespace rc::cli
