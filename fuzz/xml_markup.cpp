// The XML document class on arbitrary bytes: decode and parse, walk every
// element, read and rewrite content, add an element, and save and reload.
// An edited document must index exactly like the same text parsed afresh,
// and a saved document must load back to the same text. The same bytes are
// then read as a session configuration file: settings within their ranges,
// signal slots within 1..40, and the signal part written without breaking
// the index.
#include "support/xml_markup.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/protocol/settings.h"
#include "app/session_config.h"
#include "fuzz/scratch_folder.h"
#include "support/xml_utf8.h"

namespace {

namespace fs = std::filesystem;

const fs::path& tempFile() {
  static const fs::path file = rc::fuzzing::scratchFile("xml", "doc.xml");
  return file;
}

void outline(rc::CXMLMarkup& x, int depth, std::vector<std::u16string>& out) {
  if (depth > 64) return;
  while (x.FindElem()) {
    out.push_back(x.GetTagName() + u"=" + x.GetData());
    while (x.FindChildElem()) out.push_back(x.GetChildTagName() + u":" + x.GetChildData());
    x.ResetChildPos();
    x.IntoElem();
    outline(x, depth + 1, out);
    x.OutOfElem();
  }
}

std::vector<std::u16string> outlineOf(rc::CXMLMarkup& x) {
  std::vector<std::u16string> out;
  x.ResetPos();
  outline(x, 0, out);
  x.ResetPos();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = rc::xmlDecodeUtf8(std::span<const std::uint8_t>(data, size));
  rc::CXMLMarkup x;
  x.SetDoc(text);
  if (size > 0) x.SetDocFlags(data[0] & rc::CXMLMarkup::MDF_IGNORECASE);
  outlineOf(x);

  // Edit: rewrite the content of the root and of its children, add one element.
  const std::u16string value = size > 2 ? text.substr(0, text.size() / 8) : u"v&<>";
  if (x.FindElem()) {
    while (x.FindChildElem()) {
      if (x.SetChildData(value) && x.GetChildData() != value) __builtin_trap();
    }
    x.AddChildElem(u"Added", value);
    if (x.SetData(u"1") && x.GetData() != u"1") __builtin_trap();
  }
  rc::CXMLMarkup fresh(x.GetDoc());
  if (outlineOf(x) != outlineOf(fresh)) __builtin_trap();

  // Save and reload: the saved bytes are valid UTF-8, so they load back to
  // the same text up to the first NUL (which ends a loaded text).
  if (x.Save(tempFile())) {
    rc::CXMLMarkup back;
    if (!back.Load(tempFile())) __builtin_trap();
    std::string saved = rc::xmlEncodeUtf8(x.GetDoc());
    saved = saved.substr(0, saved.find('\0'));
    if (rc::xmlEncodeUtf8(back.GetDoc()) != saved) __builtin_trap();
  }

  rc::CXMLMarkup cfg(text);
  rc::SessionSignalSlots slots;
  rc::readSignalPart(cfg, slots, nullptr);
  for (const rc::SessionSignalSlot& slot : slots)
    if (slot.input != 0 && (slot.input < 1 || slot.input > 40 || slot.label.size() != 2)) __builtin_trap();
  const rc::AnalysisSettings s = rc::loadAnalysisSettings(cfg, true, false);
  if (s.averagingFactor < 1 || s.averagingFactor > 256 || s.epochTime % 60 != 0 || s.epochTime <= 0 ||
      !(s.variation >= 10.0 && s.variation <= 100.0) || s.ibiSource < 1 || s.ibiSource > 3 ||
      s.bandUnits < 0 || s.bandUnits > 2 || !(s.resolutions.heartRate >= 0.0))
    __builtin_trap();
  rc::SignalPart part;
  part[0] = {{1, "EKG", 4}};
  part[5] = {{2, "EMG <a>", 19}, {40, "EMG & b", 2}};
  if (rc::setSignalPart(cfg, part, true)) {
    rc::CXMLMarkup again(cfg.GetDoc());
    if (outlineOf(cfg) != outlineOf(again)) __builtin_trap();
  }
  return 0;
}
