// The document writer over the shipped templates: bookmarks found, text,
// paragraphs, tables and pictures put where they belong, and a package that
// stays structurally sound (zip, well-formed parts, relationships, content
// types) after every kind of change.
#include <gtest/gtest.h>

#include <filesystem>

#include "reports/docx/docx_document.h"
#include "support/file_io.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

fs::path templatePath(const char* name) { return fs::path(RC_PROGRAM_DIR) / "PrintTemplates" / name; }

// A 1x1 PNG: enough for the package; the writer never decodes pictures.
std::vector<std::uint8_t> tinyPng() {
  return {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52,
          0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4,
          0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x00, 0x01, 0x00, 0x00,
          0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE,
          0x42, 0x60, 0x82};
}

TEST(DocxTemplates, ShippedTemplatesHoldTheirBookmarksAndAreSound) {
  struct Case {
    const char* file;
    std::vector<std::string> marks;
  };
  const Case cases[] = {
      {"HRVReportTemplate.docx",
       {"ReportType", "Date", "ClinicCaption", "Client", "SessionStatTableCaption", "SessionStatTable",
        "GraphNormal"}},
      {"HRVExcelReport.docx", {"ReportType", "Date", "Bookmark1", "Bookmark2", "Bookmark3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    auto bytes = readWholeFile(templatePath(c.file));
    ASSERT_TRUE(bytes) << bytes.status().message();
    EXPECT_EQ(checkDocxPackage(*bytes), "");
    auto doc = DocxDocument::fromBytes(*bytes);
    ASSERT_TRUE(doc) << doc.status().message();
    EXPECT_EQ(doc->bookmarks(), c.marks);
  }
}

class DocxFill : public ::testing::Test {
 protected:
  void SetUp() override {
    auto d = DocxDocument::open(templatePath("HRVReportTemplate.docx"));
    ASSERT_TRUE(d) << d.status().message();
    doc_.emplace(std::move(*d));
  }
  // The document part from the start of the bookmark's start tag on.
  std::string after(const std::string& mark) const {
    const std::string& xml = doc_->documentXml();
    const std::size_t p = xml.find("w:name=\"" + mark + "\"");
    return p == std::string::npos ? std::string() : xml.substr(p);
  }
  std::optional<DocxDocument> doc_;
};

TEST_F(DocxFill, TextGoesIntoTheBookmarksParagraphWithFontSizeAndLineBreaks) {
  ASSERT_TRUE(doc_->setBookmarkText("Client", "Client A & B <x>\nSession 3", {"Courier New", 22, false}));
  const std::string x = after("Client");
  const std::size_t run = x.find("<w:r>");
  const std::size_t paraEnd = x.find("</w:p>");
  ASSERT_LT(run, paraEnd);
  EXPECT_NE(x.find("Client A &amp; B &lt;x&gt;</w:t><w:br/><w:t xml:space=\"preserve\">Session 3"), std::string::npos);
  EXPECT_NE(x.find("w:ascii=\"Courier New\""), std::string::npos);
  EXPECT_NE(x.find("<w:sz w:val=\"22\"/>"), std::string::npos);
  EXPECT_FALSE(doc_->setBookmarkText("NoSuchMark", "x"));
}

TEST_F(DocxFill, BlocksAtOneBookmarkKeepTheirOrderAfterItsParagraph) {
  ASSERT_TRUE(doc_->insertParagraphs("GraphNormal", "first"));
  ASSERT_TRUE(doc_->insertTable("GraphNormal", {{{"h1", "h2"}, {"a", "b"}}, true, {}, {}}));
  ASSERT_TRUE(doc_->insertParagraphs("GraphNormal", "  third\n\nfourth", {"Courier New", 22, false}));
  const std::string x = after("GraphNormal");
  const std::size_t para = x.find("</w:p>");
  const std::size_t a = x.find("first"), t = x.find("<w:tbl>"), c = x.find("  third"), d = x.find("fourth");
  ASSERT_NE(d, std::string::npos);
  EXPECT_LT(para, a);
  EXPECT_LT(a, t);
  EXPECT_LT(t, c);
  EXPECT_LT(c, d);
  EXPECT_NE(x.find("<w:tblHeader/>"), std::string::npos);
  // Filling another bookmark before it moves nothing out of order.
  ASSERT_TRUE(doc_->setBookmarkText("ReportType", "Title"));
  ASSERT_TRUE(doc_->insertParagraphs("GraphNormal", "fifth"));
  const std::string y = after("GraphNormal");
  EXPECT_LT(y.find("fourth"), y.find("fifth"));
  auto bytes = doc_->toBytes();
  ASSERT_TRUE(bytes);
  EXPECT_EQ(checkDocxPackage(*bytes), "");
}

TEST_F(DocxFill, PicturesJoinThePackageWithRelationshipAndContentType) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(doc_->insertPicture("GraphNormal", tinyPng(), 600, 300, "chart"));
  auto bytes = doc_->toBytes();
  ASSERT_TRUE(bytes);
  EXPECT_EQ(checkDocxPackage(*bytes), "");
  auto back = DocxDocument::fromBytes(*bytes);
  ASSERT_TRUE(back);
  int media = 0;
  for (const auto& [name, data] : back->parts())
    if (name.rfind("word/media/", 0) == 0) {
      ++media;
      EXPECT_EQ(data.size(), tinyPng().size());
    }
  EXPECT_EQ(media, 3);
  const std::string& rels = back->parts().at("word/_rels/document.xml.rels");
  EXPECT_NE(rels.find("Target=\"media/rcimage3.png\""), std::string::npos);
  EXPECT_NE(back->documentXml().find("cx=\"5715000\""), std::string::npos);  // 600 px at 96 dpi
}

TEST_F(DocxFill, SaveReplacesTheTargetOnlyWhenComplete) {
  const fs::path dir = fs::temp_directory_path() / "rc_docx_save";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path out = dir / "r.docx";
  ASSERT_TRUE(writeFileAtomic(out, std::string("old")));
  testing::failNextAtomicCommit();
  EXPECT_FALSE(doc_->save(out));
  EXPECT_EQ(fs::file_size(out), 3u);
  ASSERT_TRUE(doc_->save(out));
  auto again = DocxDocument::open(out);
  EXPECT_TRUE(again) << again.status().message();
  fs::remove_all(dir);
}

TEST(DocxCheck, DamagedPackagesAreReported) {
  const std::vector<std::uint8_t> notZip = {'P', 'K', 1, 2, 3};
  EXPECT_FALSE(DocxDocument::fromBytes(notZip));
  EXPECT_NE(checkDocxPackage(notZip), "");
  auto bytes = readWholeFile(templatePath("HRVReportTemplate.docx"));
  ASSERT_TRUE(bytes);
  auto doc = DocxDocument::fromBytes(*bytes);
  ASSERT_TRUE(doc);
  // A relationship to a missing part, an ill-formed part and a part without
  // a content type are each named.
  std::string rels = doc->parts().at("word/_rels/document.xml.rels");
  rels.insert(rels.rfind("</Relationships>"), "<Relationship Id=\"x\" Type=\"t\" Target=\"media/missing.png\"/>");
  doc->setPart("word/_rels/document.xml.rels", rels);
  doc->setPart("word/styles.xml", "<w:styles><w:style></w:styles>");
  doc->setPart("word/media/logo.gif", "GIF89a");
  auto broken = doc->toBytes();
  ASSERT_TRUE(broken);
  const std::string problems = checkDocxPackage(*broken);
  EXPECT_NE(problems.find("media/missing.png is missing"), std::string::npos) << problems;
  EXPECT_NE(problems.find("word/styles.xml is not well-formed"), std::string::npos) << problems;
  EXPECT_NE(problems.find("word/media/logo.gif has no content type"), std::string::npos) << problems;
}

}  // namespace
}  // namespace rc
