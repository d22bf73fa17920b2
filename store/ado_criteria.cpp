#include "store/ado_criteria.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "support/format.h"

namespace rc {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view t) : t_(t) {}

  Result<Criterion> run() {
    Criterion c;
    for (;;) {
      CriterionTerm term;
      if (!column(term.column) || !op(term.op) || !value(term.value)) return Status::error(error_);
      c.terms.push_back(std::move(term));
      skipBlanks();
      if (pos_ == t_.size()) return c;
      if (!keyword("AND")) return fail("AND expected");
    }
  }

 private:
  Status fail(const std::string& what) {
    error_ = strprintf("Invalid criterion at position %zu: %s", pos_, what.c_str());
    return Status::error(error_);
  }
  bool failed(const std::string& what) {
    fail(what);
    return false;
  }

  void skipBlanks() {
    while (pos_ < t_.size() && std::isspace(static_cast<unsigned char>(t_[pos_]))) ++pos_;
  }
  static bool identChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

  bool keyword(std::string_view kw) {
    skipBlanks();
    if (t_.size() - pos_ < kw.size() || !equalsNoCase(t_.substr(pos_, kw.size()), kw)) return false;
    if (pos_ + kw.size() < t_.size() && identChar(t_[pos_ + kw.size()])) return false;
    pos_ += kw.size();
    return true;
  }

  bool column(std::string& out) {
    skipBlanks();
    if (pos_ < t_.size() && t_[pos_] == '[') {
      std::size_t close = t_.find(']', pos_ + 1);
      if (close == std::string_view::npos || close == pos_ + 1) return failed("column name expected");
      out = std::string(t_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
      return true;
    }
    std::size_t b = pos_;
    while (pos_ < t_.size() && identChar(t_[pos_])) ++pos_;
    if (b == pos_ || std::isdigit(static_cast<unsigned char>(t_[b]))) return failed("column name expected");
    out = std::string(t_.substr(b, pos_ - b));
    return true;
  }

  bool op(CriterionTerm::Op& out) {
    using Op = CriterionTerm::Op;
    skipBlanks();
    auto take = [&](std::string_view s, Op o) {
      if (t_.substr(pos_, s.size()) != s) return false;
      pos_ += s.size();
      out = o;
      return true;
    };
    if (take("<>", Op::NotEqual) || take("!=", Op::NotEqual) || take("<=", Op::LessEqual) ||
        take(">=", Op::GreaterEqual) || take("=", Op::Equal) || take("<", Op::Less) || take(">", Op::Greater))
      return true;
    if (keyword("LIKE")) {
      out = Op::Like;
      return true;
    }
    return failed("comparison operator expected");
  }

  bool value(DbValue& out) {
    skipBlanks();
    if (pos_ >= t_.size()) return failed("value expected");
    char c = t_[pos_];
    if (c == '\'' || c == '"') return quoted(c, out);
    if (c == '#') {
      std::size_t close = t_.find('#', pos_ + 1);
      if (close == std::string_view::npos) return failed("closing # expected");
      auto d = DbDateTime::parse(t_.substr(pos_ + 1, close - pos_ - 1));
      if (!d) return failed("date expected");
      out = d->text();
      pos_ = close + 1;
      return true;
    }
    if (keyword("TRUE")) {
      out = std::int64_t{1};
      return true;
    }
    if (keyword("FALSE")) {
      out = std::int64_t{0};
      return true;
    }
    return number(out);
  }

  bool quoted(char q, DbValue& out) {
    std::string s;
    std::size_t i = pos_ + 1;
    for (;;) {
      if (i >= t_.size()) return failed("closing quote expected");
      if (t_[i] == q) {
        if (i + 1 < t_.size() && t_[i + 1] == q) {
          s += q;
          i += 2;
          continue;
        }
        break;
      }
      s += t_[i++];
    }
    pos_ = i + 1;
    out = std::move(s);
    return true;
  }

  bool number(DbValue& out) {
    std::size_t b = pos_;
    if (pos_ < t_.size() && (t_[pos_] == '-' || t_[pos_] == '+')) ++pos_;
    bool real = false;
    std::size_t digitsStart = pos_;
    while (pos_ < t_.size() && (std::isdigit(static_cast<unsigned char>(t_[pos_])) || t_[pos_] == '.')) {
      if (t_[pos_] == '.') real = true;
      ++pos_;
    }
    if (pos_ == digitsStart) return failed("value expected");
    std::string_view text = t_.substr(b, pos_ - b);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (!real) {
      std::int64_t v = 0;
      auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (ec == std::errc() && p == text.data() + text.size()) {
        out = v;
        return true;
      }
    }
    double d = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
    if (ec != std::errc() || p != text.data() + text.size() || !std::isfinite(d))
      return failed("number expected");
    out = d;
    return true;
  }

  std::string_view t_;
  std::size_t pos_ = 0;
  std::string error_;
};

std::optional<double> numeric(const DbValue& v) {
  if (auto p = std::get_if<std::int64_t>(&v)) return static_cast<double>(*p);
  if (auto p = std::get_if<double>(&v)) return *p;
  if (auto p = std::get_if<std::string>(&v)) {
    std::string_view s = *p;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    double d = 0;
    auto [q, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (!s.empty() && ec == std::errc() && q == s.data() + s.size()) return d;
  }
  return std::nullopt;
}

std::string textOf(const DbValue& v) {
  if (auto p = std::get_if<std::string>(&v)) return *p;
  if (auto p = std::get_if<std::int64_t>(&v)) return std::to_string(*p);
  if (auto p = std::get_if<double>(&v)) return strprintf("%.17g", *p);
  if (auto p = std::get_if<std::vector<std::uint8_t>>(&v)) return std::string(p->begin(), p->end());
  return {};
}

int compareNoCase(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int x = std::tolower(static_cast<unsigned char>(a[i])),
        y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

Result<Criterion> parseCriterion(std::string_view text) { return Parser(text).run(); }

bool likeMatches(std::string_view pattern, std::string_view text) {
  // Greedy match with one backtrack point: the last star seen.
  std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) {
      star = p++;
      mark = t;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || pattern[p] == '_' || lower(pattern[p]) == lower(text[t]))) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) ++p;
  return p == pattern.size();
}

bool termMatches(const CriterionTerm& term, const DbValue& field) {
  using Op = CriterionTerm::Op;
  if (isNull(field) || isNull(term.value)) return false;
  if (term.op == Op::Like) return likeMatches(textOf(term.value), textOf(field));
  int cmp = 0;
  auto a = numeric(field), b = numeric(term.value);
  bool bothText =
      std::holds_alternative<std::string>(field) && std::holds_alternative<std::string>(term.value);
  if (a && b && !bothText) {
    cmp = *a < *b ? -1 : (*a > *b ? 1 : 0);
  } else {
    cmp = compareNoCase(textOf(field), textOf(term.value));
  }
  switch (term.op) {
    case Op::Equal:
      return cmp == 0;
    case Op::NotEqual:
      return cmp != 0;
    case Op::Less:
      return cmp < 0;
    case Op::LessEqual:
      return cmp <= 0;
    case Op::Greater:
      return cmp > 0;
    case Op::GreaterEqual:
      return cmp >= 0;
    case Op::Like:
      break;
  }
  return false;
}

}  // namespace rc
