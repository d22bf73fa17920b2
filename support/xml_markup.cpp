#include "support/xml_markup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/file_io.h"
#include "support/xml_utf8.h"

namespace rc {

namespace {

// Characters that end a tag name: a name matches an element only when the
// element's name is followed by one of these.
bool endsName(char16_t c) {
  switch (c) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\r':
    case u'/':
    case u'>':
    case u'=':
    case u'[':
    case u']':
    case u'<':
    case u'"':
    case u'\'':
      return true;
    default:
      return false;
  }
}

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

char16_t foldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

std::u16string asciiToU16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

bool isValidName(std::u16string_view name) {
  if (name.empty()) return false;
  const char16_t c = name[0];
  if (!((c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c >= u'a')) return false;
  for (char16_t ch : name)
    if (endsName(ch) || ch == u'&') return false;
  return true;
}

// Decodes a numeric character reference at text[i] == '&' whose ";" lies
// within the next 7 characters. Returns the code point, or 0 when there is
// none or it is not a Unicode scalar value; *len receives its length.
std::uint32_t numericReference(std::u16string_view t, std::size_t i, std::size_t* len) {
  if (i + 2 >= t.size() || t[i + 1] != u'#') return 0;
  std::size_t k = i + 2;
  const bool hex = t[k] == u'x';
  if (hex) ++k;
  const std::size_t digitsFrom = k;
  std::uint32_t v = 0;
  for (; k < t.size() && k <= i + 7; ++k) {
    const char16_t c = t[k];
    std::uint32_t digit;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (hex && c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (hex && c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      break;
    v = v * (hex ? 16 : 10) + digit;
  }
  if (k == digitsFrom || k > i + 7 || k >= t.size() || t[k] != u';') return 0;
  if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *len = k + 1 - i;
  return v;
}

}  // namespace

CXMLMarkup::CXMLMarkup() { parse({}); }

CXMLMarkup::CXMLMarkup(std::u16string_view doc) { SetDoc(doc); }

bool CXMLMarkup::SetDoc(std::u16string_view doc) {
  doc_.assign(doc);
  return parse({});
}

bool CXMLMarkup::IsWellFormed() const {
  if (count_ == 0) return false;
  const ElemPos& d = elem(0);
  return d.child != 0 && elem(d.child).next == 0 && !(d.flags & kIllFormed);
}

std::string CXMLMarkup::GetErrorUtf8() const { return xmlEncodeUtf8(result_); }

bool CXMLMarkup::Load(const std::filesystem::path& file) {
  // Regular files only, of a size an XML document of the program can have.
  auto read = readWholeFile(file, kMaxTextFileBytes);
  if (!read) {
    doc_.clear();
    parse({});
    // The system's words alone where the system failed ("No such file or directory").
    std::string why = read.status().message();
    for (const char* verb : {"cannot open ", "cannot read "}) {
      const std::string prefix = verb + file.string() + ": ";
      if (why.rfind(prefix, 0) == 0) why = why.substr(prefix.size());
    }
    result_ = xmlDecodeUtf8(why);
    return false;
  }
  const std::string bytes(read->begin(), read->end());
  doc_ = xmlDecodeUtf8(bytes);
  std::u16string note =
      asciiToU16(std::to_string(bytes.size()) + " bytes to " + std::to_string(doc_.size()) + " wide chars");
  parse(std::move(note));
  return true;
}

bool CXMLMarkup::Save(const std::filesystem::path& file) {
  if (count_ == 0 || elem(0).child == 0) {
    result_ = u"No root element: document not saved";
    return false;
  }
  const std::string bytes = xmlEncodeUtf8(doc_);
  const Status s = writeFileAtomic(file, bytes);
  if (!s) {
    result_ = xmlDecodeUtf8(s.message());
    return false;
  }
  result_ =
      asciiToU16(std::to_string(doc_.size()) + " wide chars to " + std::to_string(bytes.size()) + " bytes");
  return true;
}

std::u16string_view CXMLMarkup::elemName(std::int32_t e) const {
  const std::size_t s = static_cast<std::size_t>(elem(e).start) + 1;
  std::size_t k = s;
  while (k < doc_.size() && !endsName(doc_[k])) ++k;
  return std::u16string_view(doc_).substr(s, k - s);
}

bool CXMLMarkup::nameMatches(std::int32_t e, std::u16string_view name) const {
  if (name.empty()) return true;
  const std::size_t s = static_cast<std::size_t>(elem(e).start) + 1;
  if (s + name.size() > doc_.size()) return false;
  const char16_t* p = doc_.data() + s;
  if (docFlags_ & MDF_IGNORECASE) {
    for (std::size_t k = 0; k < name.size(); ++k)
      if (foldAscii(p[k]) != foldAscii(name[k])) return false;
  } else if (std::u16string_view(p, name.size()) != name) {
    return false;
  }
  const std::size_t after = s + name.size();
  return after == doc_.size() || endsName(doc_[after]);
}

bool CXMLMarkup::FindElem(std::u16string_view name) {
  std::int32_t e = posMain_ ? elem(posMain_).next : elem(posParent_).child;
  for (; e != 0; e = elem(e).next) {
    if (nameMatches(e, name)) {
      posMain_ = e;
      posChild_ = 0;
      return true;
    }
  }
  return false;
}

bool CXMLMarkup::FindElem(std::string_view name) { return FindElem(xmlDecodeUtf8(name)); }

bool CXMLMarkup::FindChildElem(std::u16string_view name) {
  if (posMain_ == 0 && !FindElem()) return false;
  std::int32_t e = posChild_ ? elem(posChild_).next : elem(posMain_).child;
  for (; e != 0; e = elem(e).next) {
    if (nameMatches(e, name)) {
      posChild_ = e;
      return true;
    }
  }
  return false;
}

bool CXMLMarkup::FindChildElem(std::string_view name) { return FindChildElem(xmlDecodeUtf8(name)); }

bool CXMLMarkup::IntoElem() {
  if (posMain_ == 0) return false;
  posParent_ = posMain_;
  posMain_ = posChild_;
  posChild_ = 0;
  return true;
}

bool CXMLMarkup::OutOfElem() {
  if (posParent_ == 0) return false;
  posChild_ = posMain_;
  posMain_ = posParent_;
  posParent_ = elem(posParent_).parent;
  return true;
}

void CXMLMarkup::ResetPos() { posParent_ = posMain_ = posChild_ = 0; }
void CXMLMarkup::ResetMainPos() { posMain_ = posChild_ = 0; }
void CXMLMarkup::ResetChildPos() { posChild_ = 0; }

std::u16string CXMLMarkup::GetTagName() const {
  return posMain_ ? std::u16string(elemName(posMain_)) : std::u16string();
}

std::u16string CXMLMarkup::GetChildTagName() const {
  return posChild_ ? std::u16string(elemName(posChild_)) : std::u16string();
}

std::u16string CXMLMarkup::EscapeText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c == u'<')
      out += u"&lt;";
    else if (c == u'&')
      out += u"&amp;";
    else if (c == u'>')
      out += u"&gt;";
    else
      out.push_back(c);
  }
  return out;
}

std::u16string CXMLMarkup::UnescapeText(std::u16string_view t) {
  static constexpr std::pair<std::u16string_view, char16_t> kNamed[] = {
      {u"&lt;", u'<'}, {u"&amp;", u'&'}, {u"&gt;", u'>'}, {u"&apos;", u'\''}, {u"&quot;", u'"'}};
  std::u16string out;
  out.reserve(t.size());
  for (std::size_t i = 0; i < t.size();) {
    if (t[i] != u'&') {
      out.push_back(t[i++]);
      continue;
    }
    bool done = false;
    for (const auto& [entity, ch] : kNamed) {
      if (t.substr(i, entity.size()) == entity) {
        out.push_back(ch);
        i += entity.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    std::size_t len = 0;
    if (std::uint32_t cp = numericReference(t, i, &len); cp != 0) {
      if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
      } else {
        out.push_back(static_cast<char16_t>(cp));
      }
      i += len;
      continue;
    }
    out.push_back(t[i++]);
  }
  return out;
}

std::u16string CXMLMarkup::dataOf(std::int32_t e) const {
  if (e == 0) return {};
  const ElemPos& x = elem(e);
  if (x.child != 0 || x.endTagLen == 0) return {};
  const std::u16string_view content =
      std::u16string_view(doc_).substr(static_cast<std::size_t>(x.start + x.startTagLen),
                                       static_cast<std::size_t>(x.length - x.startTagLen - x.endTagLen));
  if (content.find(u'<') == std::u16string_view::npos) return UnescapeText(content);
  // Mixed content without child elements: text and CDATA sections; comments,
  // processing instructions and stray tags are skipped.
  std::u16string out;
  std::size_t i = 0;
  while (i < content.size()) {
    if (content[i] != u'<') {
      std::size_t lt = content.find(u'<', i);
      if (lt == std::u16string_view::npos) lt = content.size();
      out += UnescapeText(content.substr(i, lt - i));
      i = lt;
      continue;
    }
    if (content.substr(i, 9) == u"<![CDATA[") {
      std::size_t end = content.find(u"]]>", i + 9);
      if (end == std::u16string_view::npos) end = content.size();
      out += content.substr(i + 9, end - (i + 9));
      i = end + 3;
    } else if (content.substr(i, 4) == u"<!--") {
      const std::size_t end = content.find(u"-->", i + 4);
      i = end == std::u16string_view::npos ? content.size() : end + 3;
    } else {
      const std::size_t end = content.find(u'>', i + 1);
      i = end == std::u16string_view::npos ? content.size() : end + 1;
    }
  }
  return out;
}

std::u16string CXMLMarkup::GetData() const { return dataOf(posMain_); }
std::u16string CXMLMarkup::GetChildData() const { return dataOf(posChild_); }
std::string CXMLMarkup::GetDataUtf8() const { return xmlEncodeUtf8(GetData()); }
std::string CXMLMarkup::GetChildDataUtf8() const { return xmlEncodeUtf8(GetChildData()); }

void CXMLMarkup::replaceText(std::size_t pos, std::size_t oldLen, std::u16string_view text) {
  doc_.replace(pos, oldLen, text);
  const auto p = static_cast<std::int32_t>(pos);
  const auto end = static_cast<std::int32_t>(pos + oldLen);
  const auto delta = static_cast<std::int32_t>(text.size()) - static_cast<std::int32_t>(oldLen);
  elem(0).length = static_cast<std::int32_t>(doc_.size());
  for (std::int32_t e = 1; e < count_; ++e) {
    ElemPos& x = elem(e);
    if (x.start >= end)
      x.start += delta;
    else if (x.start < p && x.start + x.length > end)
      x.length += delta;
  }
}

bool CXMLMarkup::setDataOf(std::int32_t e, std::u16string_view value) {
  if (e == 0 || elem(e).child != 0) return false;
  const std::u16string escaped = EscapeText(value);
  ElemPos& x = elem(e);
  if (x.endTagLen == 0) {
    // A single empty tag (or one whose end tag was missing) becomes a start
    // tag, the value and an end tag.
    const std::size_t start = static_cast<std::size_t>(x.start);
    std::u16string startTag = doc_.substr(start, static_cast<std::size_t>(x.startTagLen));
    if (!(x.flags & kNotEnded) && startTag.size() >= 2 && startTag[startTag.size() - 2] == u'/') {
      startTag.resize(startTag.size() - 2);
      std::size_t keep = startTag.size();
      while (keep > 0 && isSpace(startTag[keep - 1])) --keep;
      // Blanks that separate an earlier "/" from the ">" must stay, or the
      // tag would read as an empty element again.
      if (keep > 0 && startTag[keep - 1] != u'/') startTag.resize(keep);
      startTag.push_back(u'>');
    }
    const std::u16string endTag = u"</" + std::u16string(elemName(e)) + u">";
    const std::size_t oldLen = static_cast<std::size_t>(x.length);
    replaceText(start, oldLen, startTag + escaped + endTag);
    ElemPos& y = elem(e);
    y.startTagLen = static_cast<std::int32_t>(startTag.size());
    y.endTagLen = static_cast<std::int32_t>(endTag.size());
    y.length = static_cast<std::int32_t>(startTag.size() + escaped.size() + endTag.size());
  } else {
    const std::size_t from = static_cast<std::size_t>(x.start + x.startTagLen);
    const std::size_t oldLen = static_cast<std::size_t>(x.length - x.startTagLen - x.endTagLen);
    replaceText(from, oldLen, escaped);
  }
  elem(e).flags &= ~(kNotEnded | kEndTagMismatch);
  return true;
}

bool CXMLMarkup::SetData(std::u16string_view value) { return setDataOf(posMain_, value); }
bool CXMLMarkup::SetData(std::string_view value) { return setDataOf(posMain_, xmlDecodeUtf8(value)); }
bool CXMLMarkup::SetChildData(std::u16string_view value) { return setDataOf(posChild_, value); }
bool CXMLMarkup::SetChildData(std::string_view value) { return setDataOf(posChild_, xmlDecodeUtf8(value)); }
bool CXMLMarkup::SetChildData(int value) { return setDataOf(posChild_, asciiToU16(std::to_string(value))); }

bool CXMLMarkup::AddChildElem(std::u16string_view name, std::u16string_view value) {
  if (posMain_ == 0 || !isValidName(name)) return false;
  const std::int32_t m = posMain_;
  if (elem(m).endTagLen == 0 && elem(m).child == 0) setDataOf(m, {});
  if (elem(m).endTagLen == 0) return false;
  const std::u16string newline = doc_.find(u"\r\n") != std::u16string::npos ? u"\r\n" : u"\n";
  // The blanks before an element when it starts its line; nullopt-like flag otherwise.
  auto indentOf = [&](std::int32_t e, bool* ownLine) {
    std::size_t k = static_cast<std::size_t>(elem(e).start);
    while (k > 0 && (doc_[k - 1] == u' ' || doc_[k - 1] == u'\t')) --k;
    *ownLine = k == 0 || doc_[k - 1] == u'\n' || doc_[k - 1] == u'\r';
    return doc_.substr(k, static_cast<std::size_t>(elem(e).start) - k);
  };
  const std::u16string element =
      u"<" + std::u16string(name) + u">" + EscapeText(value) + u"</" + std::u16string(name) + u">";
  std::size_t pos, oldLen = 0, elemOffset;
  std::u16string text;
  const ElemPos& x = elem(m);
  if (x.child != 0) {
    const std::int32_t last = elem(x.child).prev;
    bool ownLine = false;
    const std::u16string indent = indentOf(last, &ownLine);
    pos = static_cast<std::size_t>(elem(last).start + elem(last).length);
    text = ownLine ? newline + indent : std::u16string();
    elemOffset = text.size();
    text += element;
  } else {
    const std::size_t from = static_cast<std::size_t>(x.start + x.startTagLen);
    const std::size_t len = static_cast<std::size_t>(x.length - x.startTagLen - x.endTagLen);
    bool blank = true;
    for (std::size_t k = from; k < from + len; ++k) blank = blank && isSpace(doc_[k]);
    bool ownLine = false;
    const std::u16string indent = indentOf(m, &ownLine);
    if (blank && ownLine) {
      pos = from;
      oldLen = len;
      text = newline + indent + u"\t";
      elemOffset = text.size();
      text += element + newline + indent;
    } else {
      pos = from + len;
      elemOffset = 0;
      text = element;
    }
  }
  replaceText(pos, oldLen, text);
  const std::int32_t e = newElem();
  ElemPos& y = elem(e);
  y.start = static_cast<std::int32_t>(pos + elemOffset);
  y.length = static_cast<std::int32_t>(element.size());
  y.startTagLen = static_cast<std::int32_t>(name.size() + 2);
  y.endTagLen = static_cast<std::int32_t>(name.size() + 3);
  linkLastChild(m, e);
  posChild_ = e;
  return true;
}

bool CXMLMarkup::AddChildElem(std::string_view name, std::string_view value) {
  return AddChildElem(xmlDecodeUtf8(name), xmlDecodeUtf8(value));
}

bool CXMLMarkup::WriteChildData(std::string_view name, std::string_view value) {
  const std::u16string n = xmlDecodeUtf8(name);
  const std::u16string v = xmlDecodeUtf8(value);
  if (posMain_ == 0) return false;
  posChild_ = 0;
  if (FindChildElem(n)) return setDataOf(posChild_, v);
  return AddChildElem(n, v);
}

}  // namespace rc
