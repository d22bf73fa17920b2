// A word-processor template on arbitrary bytes: the package read, its
// bookmarks found, every kind of content put at each of them, and the result
// written and read back. Whatever a template holds, a document the writer
// produced from it reads again with the same bookmarks.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "reports/docx/docx_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  (void)rc::checkDocxPackage(bytes);
  auto doc = rc::DocxDocument::fromBytes(bytes);
  if (!doc) return 0;
  const std::vector<std::string> marks = doc->bookmarks();
  for (const std::string& m : marks) {
    doc->setBookmarkText(m, "text <&>\n\"line\"", {"Courier New", 22, true});
    doc->insertParagraphs(m, "a\n\n  b");
    doc->insertTable(m, {{{"h", "v"}, {"1"}}, true, {}, {}});
    doc->insertPicture(m, {0x89, 'P', 'N', 'G'}, 10, 10, "chart");
  }
  auto out = doc->toBytes();
  if (!out) return 0;
  auto again = rc::DocxDocument::fromBytes(*out);
  // The writer's own additions never break the main part: a template that
  // was read once reads again with its bookmarks.
  if (!again || again->bookmarks() != marks) std::abort();
  return 0;
}
