// Fuzzes the search criterion parser and its evaluation against one row of
// every value kind.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/ado_criteria.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto parsed = rc::parseCriterion(text);
  if (!parsed) return 0;
  static const rc::DbValue row[] = {rc::DbValue{}, rc::DbValue{std::int64_t{42}}, rc::DbValue{2.5},
                                    rc::DbValue{std::string("Smith")},
                                    rc::DbValue{std::vector<std::uint8_t>{1, 2, 3}}};
  for (const rc::CriterionTerm& t : parsed->terms)
    for (const rc::DbValue& v : row) (void)rc::termMatches(t, v);
  return 0;
}
