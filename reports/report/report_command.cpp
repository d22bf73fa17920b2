#include "reports/report/report_command.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "reports/definitions/definition_editor.h"
#include "support/file_io.h"
#include "support/format.h"
#include "support/language.h"

namespace rc {

namespace fs = std::filesystem;

std::optional<ReportSeries> prepareTextReport(const AnalysisSession& s, const TextReportPaths& paths,
                                              UserInterface& ui) {
  const fs::path working = paths.workingCopy();
  std::error_code ec;
  if (fs::exists(working, ec) && documentInUse(working)) {
    ui.showMessage(MessageBuilder().idArg(kWorkingCopyInUseId, working.string()).build(), Icon::Error);
    return std::nullopt;
  }
  if (documentInUse(paths.templateFile())) {
    ui.showMessage(MessageBuilder().idArg(kTemplateInUseId, paths.templateFile().string()).build(), Icon::Error);
    return std::nullopt;
  }
  // The template over the working copy.
  fs::create_directories(working.parent_path(), ec);
  auto bytes = readWholeFile(paths.templateFile());
  int code = bytes ? 0 : (errno ? errno : ENOENT);
  if (bytes) {
    const Status written = writeFileAtomic(working, std::span<const std::uint8_t>(*bytes));
    if (!written) code = errno ? errno : EIO;
  }
  if (code != 0) {
    ui.showMessage(MessageBuilder().idArg(kCannotCreateFileId, working.string()).text(strprintf(" (%d)", code)).build(),
                   Icon::Warning);
    return std::nullopt;
  }
  // A working copy the user owns is made writable for the owner.
  struct stat st;
  if (::stat(working.c_str(), &st) == 0 && st.st_uid == ::geteuid() && !(st.st_mode & S_IWUSR))
    ::chmod(working.c_str(), st.st_mode | S_IWUSR);

  const ReportSeries series = availableReportSeries(s);
  if (!series.any()) {
    ui.showMessage(messageOf(kReportNoSeriesId), Icon::Warning);
    return std::nullopt;
  }
  return series;
}

Status runTextReport(const AnalysisSession& s, const EpochResults& r, const ReportOptions& o,
                     const TextReportPaths& paths, const ChartRenderer& render, const PdfReportWriter& writePdf,
                     const std::optional<fs::path>& pdfFile, UserInterface& ui) {
  const ReportHeaderTexts header = readReportHeaderTexts(paths.dataRoot, s.clientId, s.sessionId);
  auto report = buildTextReport(s, r, o, header, ui);
  if (!report) return report.status();
  if (Status st = writeTextReportDocx(*report, paths.workingCopy(), paths.workingCopy(), render); !st) {
    ui.showMessage(MessageBuilder().id(6415).text(" ").text(st.message()).build(), Icon::Warning);
    return st;
  }
  if (pdfFile && writePdf) {
    if (Status st = writePdf(*report, *pdfFile); !st)
      ui.showMessage(MessageBuilder().id(6415).text(" ").text(st.message()).build(), Icon::Warning);
  }
  if (ui.openDocument(paths.workingCopy()) != OpenResult::Opened) {
    ui.showMessage(messageOf(kNoWordProcessorId), Icon::Warning);
    return Status::error(str(kNoWordProcessorId));
  }
  return Status::ok();
}

}  // namespace rc
