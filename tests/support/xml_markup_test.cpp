#include "support/xml_markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/xml_utf8.h"

namespace rc {
namespace {

std::string u8(const std::u16string& s) { return xmlEncodeUtf8(s); }

// Walks the whole element tree through the navigation interface and lists
// "depth:name=data" for every element, so an edited document can be compared
// with the same text parsed afresh.
void walk(CXMLMarkup& x, int depth, std::vector<std::string>& out) {
  while (x.FindElem()) {
    out.push_back(std::to_string(depth) + ":" + u8(x.GetTagName()) + "=" + x.GetDataUtf8());
    x.IntoElem();
    walk(x, depth + 1, out);
    x.OutOfElem();
  }
}

std::vector<std::string> outline(CXMLMarkup& x) {
  std::vector<std::string> out;
  x.ResetPos();
  walk(x, 0, out);
  x.ResetPos();
  return out;
}

void expectIndexMatchesReparse(CXMLMarkup& edited) {
  CXMLMarkup fresh(edited.GetDoc());
  EXPECT_EQ(outline(edited), outline(fresh)) << u8(edited.GetDoc());
}

struct ParseCase {
  const char* name;
  std::u16string doc;
  std::string message;
  bool wellFormed;
};

class ParserMessages : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParserMessages, FirstProblemAndWellFormedness) {
  const ParseCase& c = GetParam();
  CXMLMarkup x;
  EXPECT_EQ(x.SetDoc(c.doc), c.wellFormed);
  EXPECT_EQ(x.IsWellFormed(), c.wellFormed);
  EXPECT_EQ(x.GetErrorUtf8(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ParserMessages,
    ::testing::Values(
        ParseCase{"Clean",
                  u"<?xml version=\"1.0\"?><!DOCTYPE a><!-- c --><a x=\"1>2\" y='<'><b/><c></c>"
                  u"<![CDATA[<x>]]><d x=\"q\"/></a>\r\n",
                  "", true},
        ParseCase{"EndTagSkipsChild", u"<a><b></a>",
                  "End tag 'a' at offset 7 does not match start tag 'b' at offset 3", false},
        ParseCase{"CutAfterChild", u"<a><b>", "Element 'b' at offset 3 not ended", false},
        ParseCase{"TwoRoots", u"<a/><b/>", "Root element has sibling", false},
        ParseCase{"Empty", u"", "Empty document", false},
        ParseCase{"TextOnly", u"just text", "No root element", false},
        ParseCase{"StrayEndTag", u"<a></b></a>", "No start tag for end tag 'b' at offset 4", false},
        ParseCase{"BadNameChar", u"<a><1/></a>", "Incorrect tag name character at offset 3", false},
        ParseCase{"BadComment", u"<a><!-x--></a>", "Incorrect comment tag at offset 3", false},
        ParseCase{"BadBracket", u"<a><![X[y]]></a>", "Incorrect tag at offset 3", false},
        ParseCase{"BadBang", u"<a><!X></a>", "Incorrect ! tag at offset 3", false},
        ParseCase{"OpenComment", u"<a/><!-- never", "Comment at offset 4 unterminated", false},
        ParseCase{"OpenCdata", u"<a><![CDATA[ x", "CDATA Section at offset 3 unterminated", false},
        ParseCase{"OpenPi", u"<?xml <a/>", "Processing instruction at offset 0 unterminated", false},
        ParseCase{"OpenDoctype", u"<!DOCTYPE a", "Doctype at offset 0 unterminated", false},
        ParseCase{"OpenQuote", u"<a x='1></a>", "Element tag at offset 0 unterminated", false},
        ParseCase{"OpenEndTag", u"<a></a", "Element end tag at offset 3 unterminated", false},
        ParseCase{"LoneLessThan", u"<a/><", "tag at offset 4 unterminated", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XmlParser, UnendedChildKeepsStartTagAndItsChildrenMoveUp) {
  CXMLMarkup x(u"<a><b><c>1</c><d/></a>");
  EXPECT_FALSE(x.IsWellFormed());
  ASSERT_TRUE(x.FindElem(u"a"));
  ASSERT_TRUE(x.IntoElem());
  ASSERT_TRUE(x.FindElem(u"b"));
  EXPECT_EQ(x.GetData(), u"");
  EXPECT_FALSE(x.FindChildElem(u"c"));  // b has no children any more
  ASSERT_TRUE(x.FindElem(u"c"));        // they are b's following siblings
  EXPECT_EQ(x.GetData(), u"1");
  EXPECT_TRUE(x.FindElem(u"d"));
  // Setting the unended element's data gives it an end tag.
  x.ResetMainPos();
  ASSERT_TRUE(x.FindElem(u"b"));
  ASSERT_TRUE(x.SetData(u"v"));
  EXPECT_EQ(x.GetDoc(), u"<a><b>v</b><c>1</c><d/></a>");
  expectIndexMatchesReparse(x);
  // "<c//>" is a start tag, not an empty element: its rewrite keeps the tag.
  CXMLMarkup y(u"<a><c//></a>");
  ASSERT_TRUE(y.FindChildElem(u"c"));
  ASSERT_TRUE(y.SetChildData(u"v"));
  EXPECT_EQ(y.GetDoc(), u"<a><c//>v</c></a>");
  ASSERT_TRUE(y.SetDoc(u"<a x=1 / />"));
  ASSERT_TRUE(y.FindElem());
  ASSERT_TRUE(y.SetData(u"v"));
  EXPECT_EQ(y.GetDoc(), u"<a x=1 / >v</a>");
  expectIndexMatchesReparse(y);
}

TEST(XmlParser, TwoRootsStillNavigable) {
  CXMLMarkup x(u"<a/><b/>");
  EXPECT_TRUE(x.FindElem());
  EXPECT_EQ(x.GetTagName(), u"a");
  EXPECT_TRUE(x.FindElem(u"b"));
}

TEST(XmlParser, EmptyElementNeedsSlashAfterNameBlankOrQuote) {
  // "<b x=1/>" is a start tag (the slash is part of the value), so b stays open.
  CXMLMarkup x(u"<a><b x=1/><c/></a>");
  EXPECT_FALSE(x.IsWellFormed());
  CXMLMarkup y(u"<a><b/><b /><b x='1'/><b x=\"2\"/></a>");
  EXPECT_TRUE(y.IsWellFormed()) << y.GetErrorUtf8();
}

class XmlNavigation : public ::testing::Test {
 protected:
  CXMLMarkup x{
      u"<Config>\n\t<Setting1>3</Setting1>\n\t<Settings>\n\t\t<Zoom>70</Zoom>\n\t</Settings>\n"
      u"\t<Setting>x</Setting>\n</Config>\n"};
};

TEST_F(XmlNavigation, NameMustEndAtTerminator) {
  ASSERT_TRUE(x.IsWellFormed());
  ASSERT_TRUE(x.FindChildElem(u"Setting"));
  EXPECT_EQ(x.GetChildTagName(), u"Setting");
  EXPECT_EQ(x.GetChildData(), u"x");
  x.ResetChildPos();
  ASSERT_TRUE(x.FindChildElem("Setting1"));
  EXPECT_EQ(x.GetChildDataUtf8(), "3");
  EXPECT_FALSE(x.FindChildElem(u"Settin"));
}

TEST_F(XmlNavigation, CaseFlagAndPositionLevels) {
  EXPECT_FALSE(x.FindElem(u"config"));
  x.SetDocFlags(CXMLMarkup::MDF_IGNORECASE);
  ASSERT_TRUE(x.FindElem(u"config"));
  ASSERT_TRUE(x.FindChildElem(u"SETTINGS"));
  ASSERT_TRUE(x.IntoElem());
  EXPECT_EQ(x.GetTagName(), u"Settings");
  ASSERT_TRUE(x.FindChildElem(u"zoom"));
  EXPECT_EQ(x.GetChildData(), u"70");
  // A failing search leaves the position alone.
  EXPECT_FALSE(x.FindChildElem(u"Rotation"));
  EXPECT_EQ(x.GetChildTagName(), u"Zoom");
  EXPECT_FALSE(x.FindElem(u"Nothing"));
  EXPECT_EQ(x.GetTagName(), u"Settings");
  ASSERT_TRUE(x.OutOfElem());
  EXPECT_EQ(x.GetTagName(), u"Config");
  EXPECT_EQ(x.GetChildTagName(), u"Settings");
  ASSERT_TRUE(x.OutOfElem() == false);
}

TEST(XmlContent, Unescaping) {
  struct Case {
    std::u16string content, expected;
  } cases[] = {
      {u"1 &lt; 2", u"1 < 2"},
      {u"&#65;&#x42;", u"AB"},
      {u"&amp;&gt;&apos;&quot;", u"&>'\""},
      {u"&nbsp;&copy;", u"&nbsp;&copy;"},
      {u"&#9999999;", u"&#9999999;"},
      {u"&#xD800;&#0;&#;", u"&#xD800;&#0;&#;"},
      {u"&#99999;", u"\U0001869F"},
      {u"&#12345678;", u"&#12345678;"},  // semicolon too far away
      {u"a<!-- c --><![CDATA[<&amp;>]]>&lt;<?pi?>b", u"a<&amp;><b"},
  };
  for (const Case& c : cases) {
    CXMLMarkup x(u"<r><v>" + c.content + u"</v></r>");
    ASSERT_TRUE(x.FindChildElem(u"v"));
    EXPECT_EQ(x.GetChildData(), c.expected) << u8(c.content);
  }
  CXMLMarkup parent(u"<r><v><w/></v><e/></r>");
  ASSERT_TRUE(parent.FindChildElem(u"v"));
  EXPECT_EQ(parent.GetChildData(), u"");
  EXPECT_FALSE(parent.SetChildData(u"x"));  // has child elements
  EXPECT_TRUE(parent.FindChildElem(u"e"));
  EXPECT_EQ(parent.GetChildData(), u"");
}

TEST(XmlContent, EscapingRoundTrips) {
  const std::u16string values[] = {u"a & b", u"<tag attr=\"1\">", u"x > y ' \"",
                                   u"",      u"\u00e9\U0001F600", u"&amp;"};
  for (const auto& v : values) {
    CXMLMarkup x(u"<r><v>old</v><w>keep</w></r>");
    ASSERT_TRUE(x.FindChildElem(u"v"));
    ASSERT_TRUE(x.SetChildData(v));
    EXPECT_EQ(x.GetChildData(), v);
    CXMLMarkup reread(x.GetDoc());
    EXPECT_TRUE(reread.IsWellFormed());
    ASSERT_TRUE(reread.FindChildElem(u"v"));
    EXPECT_EQ(reread.GetChildData(), v);
    ASSERT_TRUE(reread.FindChildElem(u"w"));
    EXPECT_EQ(reread.GetChildData(), u"keep");
  }
  CXMLMarkup x(u"<r><v/></r>");
  ASSERT_TRUE(x.FindChildElem(u"v"));
  ASSERT_TRUE(x.SetChildData("R&D"));
  EXPECT_EQ(x.GetDoc(), u"<r><v>R&amp;D</v></r>");
}

TEST(XmlEdits, LaterElementsShiftAndAncestorsGrow) {
  CXMLMarkup x(u"<r><s><a>1</a><b/><c x='1' /></s><t>2</t></r>");
  ASSERT_TRUE(x.FindElem(u"r"));
  ASSERT_TRUE(x.IntoElem());
  ASSERT_TRUE(x.FindElem(u"s"));
  ASSERT_TRUE(x.FindChildElem(u"a"));
  ASSERT_TRUE(x.SetChildData(u"a much longer value"));
  ASSERT_TRUE(x.FindChildElem(u"b"));
  ASSERT_TRUE(x.SetChildData(42));
  ASSERT_TRUE(x.FindChildElem(u"c"));
  ASSERT_TRUE(x.SetChildData(u""));
  ASSERT_TRUE(x.FindElem(u"t"));
  EXPECT_EQ(x.GetData(), u"2");
  ASSERT_TRUE(x.SetData(u"3"));
  EXPECT_EQ(x.GetDoc(), u"<r><s><a>a much longer value</a><b>42</b><c x='1'></c></s><t>3</t></r>");
  ASSERT_TRUE(x.OutOfElem());
  EXPECT_EQ(x.GetTagName(), u"r");
  expectIndexMatchesReparse(x);
}

TEST(XmlEdits, AddedChildrenFollowTheIndentation) {
  CXMLMarkup x(u"<r>\n\t<s>\n\t\t<a>1</a>\n\t</s>\n\t<e/>\n\t<f>\n\t</f>\n</r>\n");
  ASSERT_TRUE(x.FindElem(u"r"));
  ASSERT_TRUE(x.IntoElem());
  ASSERT_TRUE(x.FindElem(u"s"));
  ASSERT_TRUE(x.WriteChildData("a", "2"));    // exists: set
  ASSERT_TRUE(x.WriteChildData("b", "x<y"));  // missing: appended
  EXPECT_EQ(x.GetChildData(), u"x<y");
  ASSERT_TRUE(x.FindElem(u"e"));
  ASSERT_TRUE(x.AddChildElem("g", "3"));
  ASSERT_TRUE(x.FindElem(u"f"));
  ASSERT_TRUE(x.AddChildElem("h"));
  EXPECT_FALSE(x.AddChildElem("bad name"));
  EXPECT_FALSE(x.AddChildElem(""));
  EXPECT_EQ(x.GetDoc(),
            u"<r>\n\t<s>\n\t\t<a>2</a>\n\t\t<b>x&lt;y</b>\n\t</s>\n\t<e>\n\t\t<g>3</g>\n\t</"
            u"e>\n\t<f>\n\t\t<h></h>\n"
            u"\t</f>\n</r>\n");
  EXPECT_TRUE(x.IsWellFormed());
  expectIndexMatchesReparse(x);
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::u16string expected;
};

class Utf8Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8Decoding, Tolerant) {
  const DecodeCase& c = GetParam();
  // A heap copy of exactly the input size lets ASan catch any overread.
  std::vector<std::uint8_t> heap(c.bytes.begin(), c.bytes.end());
  EXPECT_EQ(xmlDecodeUtf8(std::span<const std::uint8_t>(heap)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Utf8Decoding,
    ::testing::Values(DecodeCase{"Ascii", "<a/>", u"<a/>"},
                      DecodeCase{"TwoThreeFour", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
                                 u"\u00e9\u20ac\U0001F600"},
                      DecodeCase{"Overlong", "\xC1\x81", u"A"}, DecodeCase{"FiveByteLead", "a\xF8z", u"a?z"},
                      DecodeCase{"StrayContinuation", "a\x80z", u"a?z"},
                      DecodeCase{"AsciiInsideSequence", "\xC3<b", u"?<b"},
                      DecodeCase{"CutTwo", "x\xC3", u"x?"}, DecodeCase{"CutThree", "x\xE2\x82", u"x?"},
                      DecodeCase{"CutFour", "x\xF0\x9F\x98", u"x?"},
                      DecodeCase{"NulEnds", std::string("ab\0cd", 5), u"ab"},
                      DecodeCase{"OverlongNulEnds",
                                 "ab\xC0\x80"
                                 "cd",
                                 u"ab"},
                      DecodeCase{"AboveUnicode", "\xF7\xBF\xBF\xBF!", u"?!"},
                      DecodeCase{"SurrogateAccepted", "\xED\xA0\x80", std::u16string(1, char16_t(0xD800))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8Encoding, OnlyPairedSurrogatesCombine) {
  EXPECT_EQ(xmlEncodeUtf8(u"\u00e9\u20ac\U0001F600"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  std::u16string lone = u"A";
  lone += char16_t(0xD800);
  lone += u"<b/>";
  EXPECT_EQ(xmlEncodeUtf8(lone), "A?<b/>");
  EXPECT_EQ(xmlEncodeUtf8(std::u16string(1, char16_t(0xD83D))), "?");
  EXPECT_EQ(xmlEncodeUtf8(std::u16string(1, char16_t(0xDE00)) + u"x"), "?x");
}

}  // namespace
}  // namespace rc
