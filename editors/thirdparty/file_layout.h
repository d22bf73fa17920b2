#pragma once
// The layout dialog's model (`CThirdPartyFileSettings`) and the reading of the
// chosen file with its messages.
//
// Enabling rules: with one column the position and the separator are set back
// to first and comma and their groups are disabled; two columns enable them.
// The one-line and "[HRData]" layouts take no header lines, columns, position
// or separator, so those groups are disabled with them.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "editors/thirdparty/ibi_text_detect.h"
#include "editors/thirdparty/ibi_text_reader.h"
#include "editors/thirdparty/thirdparty_settings.h"
#include "support/ui.h"

namespace rc {

class CThirdPartyFileSettings {
 public:
  explicit CThirdPartyFileSettings(const ThirdPartySettings& s);

  int headerLines() const { return layout_.headerLines; }
  bool twoColumns() const { return layout_.twoColumns; }
  bool secondPosition() const { return layout_.secondPosition; }
  char separator() const { return layout_.separator; }
  IbiTextLayout kind() const { return layout_.kind; }
  const IbiFileLayout& layout() const { return layout_; }

  void setHeaderLines(int n);  // clamped to 0 .. 100
  void setTwoColumns(bool two);
  void setSecondPosition(bool second);
  void setSeparator(char sep);  // ',' or '\t' (anything else is tab)
  void setKind(IbiTextLayout kind);

  bool headerLinesEnabled() const { return layout_.kind != IbiTextLayout::HrmSection; }
  bool columnsEnabled() const { return layout_.kind == IbiTextLayout::Lines; }
  bool positionEnabled() const { return columnsEnabled() && layout_.twoColumns; }
  bool separatorEnabled() const { return positionEnabled(); }

  // Takes a detected proposal; its description is kept for the dialog.
  void applyProposal(const IbiLayoutProposal& p);
  const std::string& proposalText() const { return proposalText_; }

  // The settings with this layout written back (the one-line and "[HRData]"
  // layouts leave the stored keys as they were).
  ThirdPartySettings applied(ThirdPartySettings s) const;

 private:
  IbiFileLayout layout_;
  std::string proposalText_;
};

// A file read for the editor: the values, and what the user was told.
struct ThirdPartyFile {
  std::filesystem::path path;
  std::vector<float> values;
};

// Reads the file with the layout and shows what went wrong through ui: 189
// with the path (information) when it cannot be opened, 473 when it is too
// large, 486 when nothing follows the header lines (nullopt in these cases);
// after a read, the count and first line of values outside 200 .. 3000 ms (1610).
std::optional<ThirdPartyFile> readThirdPartyFile(const std::filesystem::path& file, const IbiFileLayout& layout,
                                                 UserInterface& ui,
                                                 std::uint64_t sizeLimit = kIbiTextSizeLimit);

// The open-file dialog of these files.
FileDialogRequest thirdPartyOpenRequest(const std::filesystem::path& folder);

}  // namespace rc
