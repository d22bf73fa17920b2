// Screenshots of the periodic IBI editor page on demo sessions: an open
// session with pending edits (their bands), saved segments, the cursor and
// the raw-signal strip; and a scripted session in its Step frame.
//   shots_periodic OUTDIR DEMO_ROOT
// The session's headers name a member "slots": they come before Qt's.
#include "app/review_context.h"
#include "app/session_analysis.h"
#include "app/session_analysis_load.h"
#include "editors/ui/periodic_page.h"
#include "support/language.h"
#include "support/locale.h"
#include "support/paths.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using namespace rc;

namespace {

void settle(int ms = 200) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Answers every question with its default and keeps the proposed split.
class ShotUi : public SilentUi {
 public:
  bool askOkCancel(const Message&, Icon) override { return true; }
  std::optional<std::string> enterString(const Message&, const std::string&) override { return std::string(); }
};

struct Loaded {
  std::unique_ptr<AnalysisSession> session;
  EpochResults results;
  ReviewContext ctx;
};

bool load(const fs::path& root, int client, int sessionId, UserInterface& ui, Loaded& out) {
  SessionLoadRequest req{root, programFolder(), client, sessionId, {}};
  out.session = loadSessionForAnalysis(req, ui);
  if (!out.session) return false;
  EpochInputs in = out.session->epochInputs();
  if (analyseLoadedSession(in, {&out.session->config, out.session->configFile}, out.results, ui) !=
      SessionAnalysisOutcome::Ready)
    return false;
  out.ctx.session = out.session.get();
  out.ctx.results = &out.results;
  out.ctx.ui = &ui;
  out.ctx.timeFrameSeconds = 6;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: shots_periodic OUTDIR DEMO_ROOT\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const fs::path root = argv[2];
  setLocaleSeparators(readUserLocaleSeparators());
  if (!loadLanguage(programFolder()).isOk()) return 1;
  ShotUi ui;

  Loaded open;
  if (load(root, 1, 2, ui, open)) {
    CPeriodic page(open.ctx);
    page.resize(1366, 740);
    page.show();
    settle();
    PeriodicEditor& e = page.editor();
    // Two stretches marked earlier (saved), then three fresh edits.
    const auto t = e.rowStartTimes();
    if (t.size() > 120) {
      e.segments().offer(e.source().sourceChannel, kOpAdd, t[5], t[8], e.source().sessionDuration);
      e.segments().offer(e.source().sourceChannel, kOpAverage, t[60], t[64], e.source().sessionDuration);
      page.rowView()->selectRow(20);
      page.setCursorTime(t[20] + 0.3);
      page.split();
      const std::vector<std::size_t> add{30, 31};
      QItemSelection sel(page.rowView()->model()->index(30, 0), page.rowView()->model()->index(31, 1));
      page.rowView()->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
      page.add();
      QItemSelection avg(page.rowView()->model()->index(40, 0), page.rowView()->model()->index(43, 1));
      page.rowView()->selectionModel()->select(avg, QItemSelectionModel::ClearAndSelect);
      page.average();
      page.setCursorTime(t[41]);
    }
    settle();
    page.grab().save(out + "/periodic_open.png");
    std::printf("%s/periodic_open.png\n", qPrintable(out));
    page.editor().dropPendingEdits();
  }

  Loaded scripted;
  if (load(root, 1, 3, ui, scripted)) {
    CPeriodic page(scripted.ctx);
    page.resize(1366, 740);
    page.show();
    page.frameButton(TimeFrame::Step)->click();
    page.spinBox()->setValue(3);
    const auto t = page.editor().rowStartTimes();
    if (t.size() > 10) page.setCursorTime(t[t.size() / 2]);
    settle();
    page.grab().save(out + "/periodic_scripted_step.png");
    std::printf("%s/periodic_scripted_step.png\n", qPrintable(out));
  }
  return 0;
}
