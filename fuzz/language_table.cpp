// The language table text, and safe substitution into its texts.
#include <cstdint>
#include <string>

#include "support/format.h"
#include "support/language.h"
#include "support/locale.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  rc::LanguageTable table;
  table.parse(text);
  // Every text is a potential translation used with an argument.
  (void)rc::substituteArg(text, 50LL);
  (void)rc::substituteArg(text, std::string("file.dat"));
  (void)rc::substituteArgs(text, 1.5, 7LL);
  (void)rc::collapsePercents(text);
  (void)rc::parseReal(text);
  (void)rc::parseInteger(text);
  return 0;
}
