// Parsing a 1 MB XML document with the program's document class, side by
// side with pugixml (when available) on the same bytes.
#include <benchmark/benchmark.h>

#include <string>

#include "support/xml_markup.h"
#include "support/xml_utf8.h"

#ifdef RC_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

// About 1 MB of settings-like markup: nested elements, attributes, escaped
// text, comments and some non-ASCII text.
const std::string& document() {
  static const std::string doc = [] {
    std::string d = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Reports>\n";
    for (int i = 0; d.size() < (1u << 20); ++i) {
      d += "\t<Report id=\"" + std::to_string(i) + "\" kind='statistics'>\n";
      d += "\t\t<!-- report " + std::to_string(i) + " -->\n";
      d += "\t\t<Name>Session r\xC3\xA9sum\xC3\xA9 &amp; epochs " + std::to_string(i) + "</Name>\n";
      d += "\t\t<Columns>\n";
      for (int c = 0; c < 6; ++c)
        d += "\t\t\t<Column index=\"" + std::to_string(c) + "\" width=\"12\">SDNN &lt; " +
             std::to_string(c * 7) + "</Column>\n";
      d += "\t\t</Columns>\n\t\t<Flags/>\n\t</Report>\n";
    }
    d += "</Reports>\n";
    return d;
  }();
  return doc;
}

void BM_CXMLMarkup_SetDoc(benchmark::State& state) {
  const std::u16string text = rc::xmlDecodeUtf8(document());
  rc::CXMLMarkup x;
  for (auto _ : state) {
    bool ok = x.SetDoc(text);
    benchmark::DoNotOptimize(ok);
  }
  if (!x.IsWellFormed()) state.SkipWithError("document not well-formed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document().size()));
}
BENCHMARK(BM_CXMLMarkup_SetDoc)->Unit(benchmark::kMillisecond);

// What Load does after reading the file: decode UTF-8, copy, parse.
void BM_CXMLMarkup_DecodeAndParse(benchmark::State& state) {
  const std::string& bytes = document();
  rc::CXMLMarkup x;
  for (auto _ : state) {
    bool ok = x.SetDoc(rc::xmlDecodeUtf8(bytes));
    benchmark::DoNotOptimize(ok);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_CXMLMarkup_DecodeAndParse)->Unit(benchmark::kMillisecond);

#ifdef RC_HAVE_PUGIXML
void BM_Pugixml_LoadBuffer(benchmark::State& state) {
  const std::string& bytes = document();
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_parse_result r = doc.load_buffer(bytes.data(), bytes.size());
    if (!r) state.SkipWithError("pugixml failed");
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Pugixml_LoadBuffer)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
