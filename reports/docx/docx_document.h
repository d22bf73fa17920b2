#pragma once
// A word-processor document (Office Open XML, .docx) opened from a template
// and filled at its named bookmarks: a bookmark's text with a font and size,
// paragraphs of text, a table and a PNG picture. The package is read and
// written with libzip; the result is written through the atomic writer.
//
// Text goes into the bookmark's own paragraph, right after the bookmark's
// start. Blocks (paragraphs, tables, pictures) go after the paragraph that
// holds the bookmark; each block put at a bookmark follows the one put there
// before it, so blocks keep the order they were inserted in.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "support/status.h"

namespace rc {

// How a run of text looks. Empty font: the paragraph style's font.
struct DocxRunFormat {
  std::string font;
  int halfPoints = 0;  // 22 = 11 pt; 0: the style's size
  bool bold = false;
};

// A table: the first row is a header row when header is set (bold, shaded,
// repeated on every page). Column widths in twentieths of a point; empty:
// equal shares of the text width.
struct DocxTable {
  std::vector<std::vector<std::string>> rows;
  bool header = true;
  std::vector<int> columnWidths;
  DocxRunFormat format;
};

class DocxDocument {
 public:
  // Reads a package; fails with a message when it is not a zip file, has no
  // word/document.xml or that part is not well-formed.
  static Result<DocxDocument> open(const std::filesystem::path& file);
  static Result<DocxDocument> fromBytes(std::span<const std::uint8_t> bytes);

  // The names of the bookmarks of the main document part, in document order.
  std::vector<std::string> bookmarks() const;
  bool hasBookmark(const std::string& name) const;

  // Text at a bookmark; "\n" becomes a line break. False when there is no
  // such bookmark (nothing is written).
  bool setBookmarkText(const std::string& name, const std::string& text, const DocxRunFormat& format = {});
  // Paragraphs after the bookmark's paragraph, one per line of text ("\n"),
  // blank lines kept; every line keeps its blanks (fixed-width blocks).
  bool insertParagraphs(const std::string& name, const std::string& text, const DocxRunFormat& format = {},
                        const std::string& style = {});
  bool insertTable(const std::string& name, const DocxTable& table);
  // A PNG picture shown at widthPx x heightPx pixels of 96 per inch, in a
  // paragraph of its own. The picture joins the package (word/media) with its
  // relationship and the content type of PNG.
  bool insertPicture(const std::string& name, std::vector<std::uint8_t> png, int widthPx, int heightPx,
                     const std::string& description = {});
  // A page break after everything put at the bookmark so far.
  bool insertPageBreak(const std::string& name);

  // The package as bytes, and written atomically to a file.
  Result<std::vector<std::uint8_t>> toBytes() const;
  Status save(const std::filesystem::path& file) const;

  // Replaces (or adds) a part as it stands; the main part's bookmarks are
  // found again.
  void setPart(const std::string& name, std::string content);

  // The parts of the package by name (tests and the structural check).
  const std::map<std::string, std::string>& parts() const { return parts_; }
  const std::string& documentXml() const { return parts_.at(kDocumentPart); }

  static constexpr const char* kDocumentPart = "word/document.xml";

 private:
  struct Bookmark {
    std::size_t startTagEnd = 0;  // just after the bookmark's start tag
    std::size_t blockCursor = 0;  // where the next block goes (0: after the paragraph)
    std::size_t textCursor = 0;   // where the next run goes
  };
  Bookmark* find(const std::string& name);
  std::size_t blockPosition(Bookmark& b) const;
  void insertAt(std::size_t pos, const std::string& xml);
  bool insertBlock(const std::string& name, const std::string& xml);
  std::string addImagePart(std::vector<std::uint8_t> png);
  void indexBookmarks();

  std::map<std::string, std::string> parts_;  // part name -> content
  std::vector<std::string> order_;            // part names in package order
  std::map<std::string, Bookmark> marks_;
  std::vector<std::string> markOrder_;
  int nextImage_ = 1;
  int nextDrawingId_ = 1000;
};

// XML text escaping for element content and attribute values.
std::string docxEscape(const std::string& text);

// A structural check of a package: a readable zip, every XML part
// well-formed, every internal relationship target present, a content type for
// every part (by its extension or an override). Empty when sound; otherwise
// the problems, one a line.
std::string checkDocxPackage(std::span<const std::uint8_t> bytes);

}  // namespace rc
