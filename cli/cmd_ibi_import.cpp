// ibi-import: reads an IBI text file made by other software with the
// layout reader of the editor and writes it as an IBI series file (one open
// session segment) that analyse --ibi and the editors read.
#include <cstdio>
#include <string>

#include "analysis/series/series_file.h"
#include "cli/command.h"
#include "editors/thirdparty/file_layout.h"
#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"

namespace rc::cli {
namespace {

constexpr const char* kUsage =
    "FILE [--header-lines N] [--columns 1|2] [--position first|second] [--separator comma|tab] "
    "[--detect] --out IBIFromEKG_1A.dat";

constexpr const char* kHelp =
    "usage: ibi-import FILE [options] --out IBIFromEKG_1A.dat\n"
    "\n"
    "Reads the inter-beat intervals (ms) of a text file made by other software and writes\n"
    "them as an IBI series file of an open session.\n"
    "\n"
    "  --header-lines N        lines skipped at the top (0 to 100, default 0)\n"
    "  --columns 1|2           one value a line, or two columns (default 1)\n"
    "  --position first|second the column holding the interval (two columns)\n"
    "  --separator comma|tab   the separator of the two columns (default comma)\n"
    "  --detect                propose the layout from the file's first lines (also the\n"
    "                          one-line and [HRData] layouts); the options above then\n"
    "                          override what was detected\n"
    "  --out FILE              the series file to write (replaced atomically)\n"
    "\n"
    "Lines with other characters than digits, ',', '.' and tab are skipped; values outside\n"
    "200 to 3000 ms are kept and reported. Messages go to standard error.\n";

// Messages go to stderr.
class ConsoleUi : public SilentUi {
 public:
  void showMessage(const Message& m, Icon) override {
    std::fprintf(stderr, "rhythmcraft-cli: %s\n", m.text.c_str());
  }
};

int run(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  if (takeFlag(args, "--help") || takeFlag(args, "-h")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  std::string out, header, columns, position, separator;
  const bool detect = takeFlag(args, "--detect");
  takeOption(args, "--out", out);
  const bool hasHeader = takeOption(args, "--header-lines", header);
  const bool hasColumns = takeOption(args, "--columns", columns);
  const bool hasPosition = takeOption(args, "--position", position);
  const bool hasSeparator = takeOption(args, "--separator", separator);
  if (args.size() != 1 || out.empty()) return usageError(std::string("usage: ibi-import ") + kUsage);
  const std::string file = args[0];

  std::optional<long long> headerLines;
  if (hasHeader) {
    headerLines = parseInteger(header);
    if (!headerLines || *headerLines < 0 || *headerLines > 100)
      return usageError("--header-lines takes a whole number from 0 to 100");
  }
  if (hasColumns && columns != "1" && columns != "2") return usageError("--columns takes 1 or 2");
  if (hasPosition && position != "first" && position != "second")
    return usageError("--position takes first or second");
  if (hasSeparator && separator != "comma" && separator != "tab")
    return usageError("--separator takes comma or tab");

  CThirdPartyFileSettings model{ThirdPartySettings{}};
  if (detect) {
    auto proposal = detectIbiLayoutOfFile(file);
    if (!proposal) return failure(proposal.status().message());
    model.applyProposal(*proposal);
    std::fprintf(stderr, "%s\n", model.proposalText().c_str());
    if (!proposal->recognised) return 1;
  }
  if (hasHeader) {
    model.setKind(model.kind() == IbiTextLayout::Inline ? IbiTextLayout::Inline : IbiTextLayout::Lines);
    model.setHeaderLines(static_cast<int>(*headerLines));
  }
  if (hasColumns) {
    model.setKind(IbiTextLayout::Lines);
    model.setTwoColumns(columns == "2");
  }
  if (hasPosition) model.setSecondPosition(position == "second");
  if (hasSeparator) model.setSeparator(separator == "comma" ? ',' : '\t');
  if ((hasPosition || hasSeparator) && !model.twoColumns())
    return usageError("--position and --separator need two columns");

  ConsoleUi ui;
  auto read = readThirdPartyFile(file, model.layout(), ui);
  if (!read) return 1;
  if (read->values.empty()) return failure(file + ": no interval was read");
  IntervalSeries series = emptyOpenSeries();
  series.values = std::move(read->values);
  if (Status st = writeIntervalSeries(out, series, true); !st) return failure(st.message());
  std::fprintf(stderr, "%s\n", substituteArg(str(1618), static_cast<long long>(series.values.size())).c_str());
  return 0;
}

const CommandRegistrar reg({"ibi-import", kUsage,
                            "converts an IBI text file of other software into an IBI series file", run});

}  // namespace
}  // namespace rc::cli
