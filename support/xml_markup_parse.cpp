// The tolerant parser of CXMLMarkup: builds the element index of doc_ and
// records the first problem found.
#include <cstdint>
#include <string>

#include "support/xml_markup.h"

namespace rc {

namespace {

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// Characters that end a tag name while parsing; any other character belongs
// to the name.
bool endsNameInTag(char16_t c) {
  switch (c) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\r':
    case u'/':
    case u'>':
    case u'<':
    case u'=':
    case u'[':
    case u']':
    case u'"':
    case u'\'':
      return true;
    default:
      return false;
  }
}

bool isNameStart(char16_t c) { return (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c >= u'a'; }

void appendNumber(std::u16string& s, long long v) {
  for (char c : std::to_string(v)) s.push_back(static_cast<char16_t>(c));
}

std::u16string msgIncorrect(const char16_t* what, std::size_t offset) {
  std::u16string m = u"Incorrect ";
  m += what;
  m += u" at offset ";
  appendNumber(m, static_cast<long long>(offset));
  return m;
}

std::u16string msgUnterminated(const char16_t* what, std::size_t offset) {
  std::u16string m = what;
  m += u" at offset ";
  appendNumber(m, static_cast<long long>(offset));
  m += u" unterminated";
  return m;
}

std::size_t findSeq(const std::u16string& d, std::size_t from, std::u16string_view seq) {
  if (from >= d.size()) return std::u16string::npos;
  return d.find(seq.data(), from, seq.size());
}

}  // namespace

void CXMLMarkup::setErrorOnce(std::u16string message) {
  if (result_.empty()) result_ = std::move(message);
}

void CXMLMarkup::clearIndex(std::size_t initialCapacity) {
  blocks_.clear();
  count_ = 0;
  reserveHint_ = initialCapacity;
  posParent_ = posMain_ = posChild_ = 0;
}

std::int32_t CXMLMarkup::newElem() {
  if (blocks_.empty() || blocks_.back().size() == static_cast<std::size_t>(kBlockSize)) {
    blocks_.emplace_back();
    std::size_t want = reserveHint_ > static_cast<std::size_t>(count_) ? reserveHint_ - count_ : 16;
    blocks_.back().reserve(want < static_cast<std::size_t>(kBlockSize) ? want : kBlockSize);
  }
  blocks_.back().emplace_back();
  return count_++;
}

void CXMLMarkup::linkLastChild(std::int32_t parent, std::int32_t e) {
  ElemPos& p = elem(parent);
  ElemPos& x = elem(e);
  x.parent = parent;
  x.next = 0;
  if (p.child == 0) {
    p.child = e;
    x.prev = e;
    x.flags |= kFirstChild;
    return;
  }
  ElemPos& first = elem(p.child);
  const std::int32_t last = first.prev;
  elem(last).next = e;
  x.prev = last;
  first.prev = e;
}

// An element that was still open when an enclosing end tag (or the end of
// the text) came: it keeps only its start tag and its children become its
// following siblings. It is always the last child of its parent here.
void CXMLMarkup::closeNotEnded(std::int32_t e, bool mismatch) {
  ElemPos& x = elem(e);
  x.flags |= kNotEnded | (mismatch ? kEndTagMismatch : 0u);
  elem(0).flags |= kIllFormed;
  x.length = x.startTagLen;
  x.endTagLen = 0;
  const std::int32_t firstChild = x.child;
  if (firstChild == 0) return;
  x.child = 0;
  const std::int32_t parent = x.parent;
  std::int32_t lastChild = elem(firstChild).prev;
  for (std::int32_t c = firstChild; c != 0; c = elem(c).next) elem(c).parent = parent;
  elem(firstChild).flags &= ~kFirstChild;
  elem(firstChild).prev = e;
  elem(e).next = firstChild;
  elem(lastChild).next = 0;
  ElemPos& p = elem(parent);
  elem(p.child).prev = lastChild;
}

std::size_t CXMLMarkup::parseStartTag(std::size_t i, std::vector<std::int32_t>& stack) {
  const std::u16string& d = doc_;
  const std::size_t n = d.size();
  if (!isNameStart(d[i + 1])) {
    setErrorOnce(msgIncorrect(u"tag name character", i));
    elem(0).flags |= kIllFormed;
    // The error node runs to the next ">" (inclusive) or up to the next "<".
    std::size_t k = i + 1;
    while (k < n && d[k] != u'>' && d[k] != u'<') ++k;
    return k < n && d[k] == u'>' ? k + 1 : k;
  }
  std::size_t nameEnd = i + 1;
  while (nameEnd < n && !endsNameInTag(d[nameEnd])) ++nameEnd;
  char16_t quote = 0;
  std::size_t k = nameEnd;
  for (; k < n; ++k) {
    const char16_t c = d[k];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == u'>' || c == u'<') break;
    if (c == u'"' || c == u'\'') quote = c;
  }
  if (k >= n || d[k] != u'>') {
    setErrorOnce(msgUnterminated(u"Element tag", i));
    elem(0).flags |= kIllFormed;
    return k;
  }
  bool empty = false;
  if (d[k - 1] == u'/') {
    const std::size_t slash = k - 1;
    if (slash == nameEnd) {
      empty = true;
    } else if (slash > nameEnd) {
      const char16_t before = d[slash - 1];
      empty = isSpace(before) || before == u'"' || before == u'\'';
    }
  }
  const std::int32_t e = newElem();
  ElemPos& x = elem(e);
  x.start = static_cast<std::int32_t>(i);
  x.length = x.startTagLen = static_cast<std::int32_t>(k + 1 - i);
  linkLastChild(stack.empty() ? 0 : stack.back(), e);
  if (!empty) stack.push_back(e);
  return k + 1;
}

std::size_t CXMLMarkup::parseEndTag(std::size_t i, std::vector<std::int32_t>& stack) {
  const std::u16string& d = doc_;
  const std::size_t n = d.size();
  std::size_t nameEnd = i + 2;
  while (nameEnd < n && !endsNameInTag(d[nameEnd])) ++nameEnd;
  std::size_t k = nameEnd;
  while (k < n && d[k] != u'>' && d[k] != u'<') ++k;
  if (k >= n || d[k] != u'>') {
    setErrorOnce(msgUnterminated(u"Element end tag", i));
    elem(0).flags |= kIllFormed;
    return k;
  }
  const std::u16string_view name(d.data() + i + 2, nameEnd - (i + 2));
  std::size_t found = stack.size();
  if (!name.empty()) {
    for (std::size_t s = stack.size(); s-- > 0;) {
      if (nameMatches(stack[s], name)) {
        found = s;
        break;
      }
    }
  }
  if (found == stack.size()) {
    elem(0).flags |= kIllFormed;
    if (result_.empty()) {
      std::u16string m = u"No start tag for end tag '";
      m += name;
      m += u"' at offset ";
      appendNumber(m, static_cast<long long>(i + 1));
      result_ = std::move(m);
    }
    return k + 1;
  }
  while (stack.size() > found + 1) {
    const std::int32_t top = stack.back();
    stack.pop_back();
    if (result_.empty()) {
      std::u16string m = u"End tag '";
      m += name;
      m += u"' at offset ";
      appendNumber(m, static_cast<long long>(i + 1));
      m += u" does not match start tag '";
      m += elemName(top);
      m += u"' at offset ";
      appendNumber(m, elem(top).start);
      result_ = std::move(m);
    }
    closeNotEnded(top, true);
  }
  ElemPos& x = elem(stack.back());
  x.length = static_cast<std::int32_t>(k + 1) - x.start;
  x.endTagLen = static_cast<std::int32_t>(k + 1 - i);
  stack.pop_back();
  return k + 1;
}

// "<!": comment, CDATA section or declaration.
std::size_t CXMLMarkup::parseBang(std::size_t i) {
  const std::u16string& d = doc_;
  const std::size_t n = d.size();
  auto fail = [&](std::u16string m, std::size_t resume) {
    setErrorOnce(std::move(m));
    elem(0).flags |= kIllFormed;
    return resume;
  };
  auto skipErrorNode = [&](std::size_t from) {
    std::size_t k = from;
    while (k < n && d[k] != u'>' && d[k] != u'<') ++k;
    return k < n && d[k] == u'>' ? k + 1 : k;
  };
  if (i + 2 >= n) return fail(msgUnterminated(u"tag", i), n);
  const char16_t c = d[i + 2];
  if (c == u'-') {
    if (i + 3 >= n || d[i + 3] != u'-') return fail(msgIncorrect(u"comment tag", i), skipErrorNode(i + 2));
    const std::size_t end = findSeq(d, i + 4, u"-->");
    if (end == std::u16string::npos) return fail(msgUnterminated(u"Comment", i), n);
    return end + 3;
  }
  if (c == u'[') {
    if (i + 3 >= n) return fail(msgUnterminated(u"tag", i), n);
    if (d[i + 3] != u'C') return fail(msgIncorrect(u"tag", i), skipErrorNode(i + 3));
    const std::size_t from = i + 9 < n ? i + 9 : n;
    const std::size_t end = findSeq(d, from, u"]]>");
    if (end == std::u16string::npos) return fail(msgUnterminated(u"CDATA Section", i), n);
    return end + 3;
  }
  if (c == u'D' || c == u'E' || c == u'A' || c == u'N') {
    char16_t quote = 0;
    for (std::size_t k = i + 3; k < n; ++k) {
      const char16_t q = d[k];
      if (quote) {
        if (q == quote) quote = 0;
      } else if (q == u'"' || q == u'\'') {
        quote = q;
      } else if (q == u'>') {
        return k + 1;
      }
    }
    return fail(msgUnterminated(c == u'D' ? u"Doctype" : u"tag", i), n);
  }
  return fail(msgIncorrect(u"! tag", i), skipErrorNode(i + 2));
}

bool CXMLMarkup::parse(std::u16string loadNote) {
  result_.clear();
  clearIndex(doc_.size() / 64 + 8);
  const std::int32_t docElem = newElem();
  elem(docElem).length = static_cast<std::int32_t>(doc_.size());
  const std::size_t n = doc_.size();
  if (n == 0) {
    result_ = u"Empty document";
  } else if (n >= static_cast<std::size_t>(INT32_MAX)) {
    // Offsets are 32-bit: such a text is kept but not indexed.
    result_ = u"Document too large";
    elem(0).flags |= kIllFormed;
  } else {
    std::vector<std::int32_t> stack;
    stack.reserve(64);
    const char16_t* d = doc_.data();
    std::size_t i = 0;
    while (i < n) {
      if (d[i] != u'<') {
        // Text or whitespace: runs to the next "<".
        const std::size_t lt = doc_.find(u'<', i);
        i = lt == std::u16string::npos ? n : lt;
        continue;
      }
      if (i + 1 >= n) {
        setErrorOnce(msgUnterminated(u"tag", i));
        elem(0).flags |= kIllFormed;
        break;
      }
      switch (d[i + 1]) {
        case u'/':
          i = parseEndTag(i, stack);
          break;
        case u'?': {
          const std::size_t end = findSeq(doc_, i + 2, u"?>");
          if (end == std::u16string::npos) {
            setErrorOnce(msgUnterminated(u"Processing instruction", i));
            elem(0).flags |= kIllFormed;
            i = n;
          } else {
            i = end + 2;
          }
          break;
        }
        case u'!':
          i = parseBang(i);
          break;
        default:
          i = parseStartTag(i, stack);
          break;
      }
    }
    while (!stack.empty()) {
      const std::int32_t top = stack.back();
      stack.pop_back();
      if (result_.empty()) {
        std::u16string m = u"Element '";
        m += elemName(top);
        m += u"' at offset ";
        appendNumber(m, elem(top).start);
        m += u" not ended";
        result_ = std::move(m);
      }
      closeNotEnded(top, false);
    }
    const std::int32_t root = elem(0).child;
    if (root == 0)
      setErrorOnce(u"No root element");
    else if (elem(root).next != 0)
      setErrorOnce(u"Root element has sibling");
  }
  if (!loadNote.empty()) {
    if (!result_.empty()) {
      loadNote += u", ";
      loadNote += result_;
    }
    result_ = std::move(loadNote);
  }
  return IsWellFormed();
}

}  // namespace rc
