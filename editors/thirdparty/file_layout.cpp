#include "editors/thirdparty/file_layout.h"

#include <algorithm>

#include "analysis/series/series_file.h"
#include "support/language.h"

namespace rc {

CThirdPartyFileSettings::CThirdPartyFileSettings(const ThirdPartySettings& in) {
  const ThirdPartySettings s = clampedSettings(in);
  layout_.headerLines = s.headerLines;
  setTwoColumns(s.columns == 1);
  if (layout_.twoColumns) {
    layout_.secondPosition = s.position == 1;
    layout_.separator = s.separator;
  }
}

void CThirdPartyFileSettings::setHeaderLines(int n) { layout_.headerLines = std::clamp(n, 0, 100); }

void CThirdPartyFileSettings::setTwoColumns(bool two) {
  layout_.twoColumns = two;
  if (!two) {
    layout_.secondPosition = false;
    layout_.separator = ',';
  }
}

void CThirdPartyFileSettings::setSecondPosition(bool second) {
  if (positionEnabled()) layout_.secondPosition = second;
}

void CThirdPartyFileSettings::setSeparator(char sep) {
  if (separatorEnabled()) layout_.separator = sep == ',' ? ',' : '\t';
}

void CThirdPartyFileSettings::setKind(IbiTextLayout kind) { layout_.kind = kind; }

void CThirdPartyFileSettings::applyProposal(const IbiLayoutProposal& p) {
  proposalText_ = describeIbiLayout(p);
  if (!p.recognised) return;
  layout_.kind = p.layout.kind;
  setHeaderLines(p.layout.headerLines);
  setTwoColumns(p.layout.twoColumns);
  if (p.layout.twoColumns) {
    layout_.secondPosition = p.layout.secondPosition;
    layout_.separator = p.layout.separator == ',' ? ',' : '\t';
  }
}

ThirdPartySettings CThirdPartyFileSettings::applied(ThirdPartySettings s) const {
  if (layout_.kind != IbiTextLayout::Lines) return s;
  s.headerLines = layout_.headerLines;
  s.columns = layout_.twoColumns ? 1 : 0;
  s.position = layout_.secondPosition ? 1 : 0;
  s.separator = layout_.separator;
  return s;
}

std::optional<ThirdPartyFile> readThirdPartyFile(const std::filesystem::path& file, const IbiFileLayout& layout,
                                                 UserInterface& ui, std::uint64_t sizeLimit) {
  IbiTextReadResult r = readIbiTextFile(file, layout, sizeLimit);
  switch (r.status) {
    case IbiReadStatus::OpenFailed:
      ui.showMessage(MessageBuilder().id(kFileNotCreatedId).text(" ").text(file.string()), Icon::Information);
      return std::nullopt;
    case IbiReadStatus::TooLarge:
      ui.showMessage(messageOf(473), Icon::Warning);
      return std::nullopt;
    case IbiReadStatus::NoData:
      ui.showMessage(messageOf(486), Icon::Information);
      return std::nullopt;
    case IbiReadStatus::Ok:
      break;
  }
  if (r.outOfRange > 0) {
    ui.showMessage(MessageBuilder().idArgs(1610, static_cast<long long>(r.outOfRange),
                                           static_cast<long long>(r.firstOutOfRangeLine)),
                   Icon::Information);
  }
  return ThirdPartyFile{file, std::move(r.values)};
}

FileDialogRequest thirdPartyOpenRequest(const std::filesystem::path& folder) {
  FileDialogRequest req;
  req.save = false;
  req.title = str(472);
  req.folder = folder;
  req.filters = {{str(341), "*.txt *.csv *.hrm"}, {str(340), "*"}};
  return req;
}

}  // namespace rc
