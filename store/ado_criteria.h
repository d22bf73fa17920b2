#pragma once
// Search criteria of CADORecordset::find: one or more comparisons joined by
// AND, e.g. "ClientID = 12", "[ClientID] = 3 AND SessionID >= 2",
// "LastName LIKE 'Sm*'", "Archived = FALSE".
//
// Comparison operators: = <> != < > <= >= LIKE. Values: integers, reals
// (with "."), texts in single or double quotes (a doubled quote stands for
// one), dates as #YYYY-MM-DD HH:MM:SS#, TRUE (1), FALSE (0). LIKE patterns use
// * or % for any run and ? or _ for one character. Texts compare without
// regard to case; a NULL field matches nothing.
#include <string>
#include <string_view>
#include <vector>

#include "store/ado_types.h"
#include "support/status.h"

namespace rc {

struct CriterionTerm {
  enum class Op { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, Like };
  std::string column;  // without brackets
  Op op = Op::Equal;
  DbValue value;
};

struct Criterion {
  std::vector<CriterionTerm> terms;  // all must hold
};

// Parses a criterion; fails with a message naming the position of the fault.
Result<Criterion> parseCriterion(std::string_view text);

// Whether a field value satisfies one comparison.
bool termMatches(const CriterionTerm& term, const DbValue& field);

// LIKE pattern match without regard to case (linear in pattern x text).
bool likeMatches(std::string_view pattern, std::string_view text);

}  // namespace rc
