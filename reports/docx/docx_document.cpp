#include "reports/docx/docx_document.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <set>

#include "support/file_io.h"
#include "support/format.h"
#include "support/xml_markup.h"
#include "support/xml_utf8.h"

namespace rc {
namespace {

constexpr const char* kContentTypesPart = "[Content_Types].xml";
constexpr const char* kDocumentRelsPart = "word/_rels/document.xml.rels";
constexpr const char* kImageRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
// A package larger than this (uncompressed) is not a report template.
constexpr std::uint64_t kMaxPackageBytes = 256ull << 20;
constexpr int kEmuPerPixel = 9525;  // 914400 EMU per inch at 96 pixels per inch
constexpr int kDefaultTextWidth = 9638;  // twips: A4 less 2 cm margins on both sides

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};

bool isXmlPart(const std::string& name) {
  auto ends = [&](const char* s) {
    const std::size_t n = std::char_traits<char>::length(s);
    return name.size() >= n && name.compare(name.size() - n, n, s) == 0;
  };
  return ends(".xml") || ends(".rels");
}

bool wellFormed(const std::string& xml, std::string* error = nullptr) {
  CXMLMarkup doc;
  if (doc.SetDoc(xmlDecodeUtf8(xml))) return true;
  if (error) *error = doc.GetErrorUtf8();
  return false;
}

// The value of attribute `name` in the tag text, or nullopt.
std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
  std::size_t p = 0;
  while ((p = tag.find(name, p)) != std::string_view::npos) {
    const bool boundary = p > 0 && std::isspace(static_cast<unsigned char>(tag[p - 1]));
    std::size_t q = p + name.size();
    while (q < tag.size() && std::isspace(static_cast<unsigned char>(tag[q]))) ++q;
    if (boundary && q < tag.size() && tag[q] == '=') {
      ++q;
      while (q < tag.size() && std::isspace(static_cast<unsigned char>(tag[q]))) ++q;
      if (q < tag.size() && (tag[q] == '"' || tag[q] == '\'')) {
        const char quote = tag[q];
        const std::size_t end = tag.find(quote, q + 1);
        if (end == std::string_view::npos) return std::nullopt;
        return std::string(tag.substr(q + 1, end - q - 1));
      }
    }
    p += name.size();
  }
  return std::nullopt;
}

// Finds the next start tag "<name" (followed by a blank, "/" or ">") at or after pos.
std::size_t findStartTag(const std::string& xml, std::string_view name, std::size_t pos) {
  while ((pos = xml.find(name, pos)) != std::string::npos) {
    const std::size_t after = pos + name.size();
    if (pos > 0 && xml[pos - 1] == '<' && after < xml.size() &&
        (xml[after] == ' ' || xml[after] == '>' || xml[after] == '/' || xml[after] == '\t' ||
         xml[after] == '\r' || xml[after] == '\n'))
      return pos - 1;
    pos = after;
  }
  return std::string::npos;
}

// The start of the last "<w:p>" / "<w:p ...>" tag before pos, or npos.
std::size_t lastParagraphStart(const std::string& xml, std::size_t pos) {
  std::size_t found = std::string::npos, p = 0;
  while ((p = findStartTag(xml, "w:p", p)) != std::string::npos && p < pos) {
    found = p;
    p += 4;
  }
  return found;
}

std::string runProperties(const DocxRunFormat& f) {
  std::string rpr;
  if (!f.font.empty()) {
    const std::string font = docxEscape(f.font);
    rpr += "<w:rFonts w:ascii=\"" + font + "\" w:hAnsi=\"" + font + "\" w:cs=\"" + font + "\"/>";
  }
  if (f.bold) rpr += "<w:b/>";
  if (f.halfPoints > 0) rpr += strprintf("<w:sz w:val=\"%d\"/><w:szCs w:val=\"%d\"/>", f.halfPoints, f.halfPoints);
  return rpr.empty() ? std::string() : "<w:rPr>" + rpr + "</w:rPr>";
}

// One run holding the text, "\n" as line breaks, tabs as tab characters.
std::string runOf(const std::string& text, const DocxRunFormat& f) {
  std::string out = "<w:r>" + runProperties(f);
  std::string piece;
  auto flush = [&] {
    if (!piece.empty()) out += "<w:t xml:space=\"preserve\">" + docxEscape(piece) + "</w:t>";
    piece.clear();
  };
  for (char c : text) {
    if (c == '\n') {
      flush();
      out += "<w:br/>";
    } else if (c == '\t') {
      flush();
      out += "<w:tab/>";
    } else if (c != '\r') {
      piece += c;
    }
  }
  flush();
  return out + "</w:r>";
}

std::string readEntry(zip_t* za, zip_uint64_t index, std::uint64_t size, bool& ok) {
  ok = false;
  std::string data;
  zip_file_t* f = zip_fopen_index(za, index, 0);
  if (!f) return data;
  data.resize(static_cast<std::size_t>(size));
  std::size_t got = 0;
  while (got < data.size()) {
    const zip_int64_t n = zip_fread(f, data.data() + got, data.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  char extra;
  const bool atEnd = zip_fread(f, &extra, 1) == 0;
  zip_fclose(f);
  ok = got == data.size() && atEnd;
  return data;
}

// Reads every entry of a zip package held in memory.
Status readPackage(std::span<const std::uint8_t> bytes, std::map<std::string, std::string>& parts,
                   std::vector<std::string>& order) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  if (!src) return Status::error("the document cannot be read");
  std::unique_ptr<zip_t, ZipCloser> za(zip_open_from_source(src, ZIP_RDONLY, &error));
  if (!za) {
    zip_source_free(src);
    zip_error_fini(&error);
    return Status::error("the document is not a word-processor document (no zip package)");
  }
  const zip_int64_t count = zip_get_num_entries(za.get(), 0);
  std::uint64_t total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(za.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME) ||
        !(st.valid & ZIP_STAT_SIZE))
      return Status::error("the document's package is damaged");
    std::string name = st.name;
    if (name.empty() || name.back() == '/') continue;  // folder entries
    total += st.size;
    if (st.size > kMaxPackageBytes || total > kMaxPackageBytes)
      return Status::error("the document's package is too large");
    bool ok = false;
    std::string data = readEntry(za.get(), static_cast<zip_uint64_t>(i), st.size, ok);
    if (!ok) return Status::error("the document's package is damaged: " + name);
    if (!parts.count(name)) order.push_back(name);
    parts[name] = std::move(data);
  }
  return Status::ok();
}

}  // namespace

std::string docxEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters other than tab and line ends are not allowed in XML.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
          out += ' ';
        else
          out += c;
    }
  }
  return out;
}

Result<DocxDocument> DocxDocument::open(const std::filesystem::path& file) {
  auto bytes = readWholeFile(file);
  if (!bytes) return bytes.status();
  auto doc = fromBytes(*bytes);
  if (!doc) return Status::error(file.string() + ": " + doc.status().message());
  return doc;
}

Result<DocxDocument> DocxDocument::fromBytes(std::span<const std::uint8_t> bytes) {
  DocxDocument d;
  if (Status s = readPackage(bytes, d.parts_, d.order_); !s) return s;
  auto it = d.parts_.find(kDocumentPart);
  if (it == d.parts_.end()) return Status::error("the document has no main part (word/document.xml)");
  std::string why;
  if (!wellFormed(it->second, &why)) return Status::error("the document's main part is not well-formed: " + why);
  if (!d.parts_.count(kContentTypesPart)) return Status::error("the document has no content types");
  d.indexBookmarks();
  // Pictures already in the package keep their names.
  while (d.parts_.count(strprintf("word/media/rcimage%d.png", d.nextImage_))) ++d.nextImage_;
  return d;
}

void DocxDocument::indexBookmarks() {
  const std::string& xml = parts_.at(kDocumentPart);
  std::size_t p = 0;
  while ((p = findStartTag(xml, "w:bookmarkStart", p)) != std::string::npos) {
    const std::size_t end = xml.find('>', p);
    if (end == std::string::npos) break;
    auto name = attribute(std::string_view(xml).substr(p, end - p), "w:name");
    if (name && !name->empty() && !marks_.count(*name)) {
      Bookmark b;
      b.startTagEnd = end + 1;
      b.textCursor = end + 1;
      marks_[*name] = b;
      markOrder_.push_back(*name);
    }
    p = end;
  }
}

void DocxDocument::setPart(const std::string& name, std::string content) {
  if (!parts_.count(name)) order_.push_back(name);
  parts_[name] = std::move(content);
  if (name == kDocumentPart) {
    marks_.clear();
    markOrder_.clear();
    indexBookmarks();
  }
}

std::vector<std::string> DocxDocument::bookmarks() const { return markOrder_; }

bool DocxDocument::hasBookmark(const std::string& name) const { return marks_.count(name) > 0; }

DocxDocument::Bookmark* DocxDocument::find(const std::string& name) {
  auto it = marks_.find(name);
  return it == marks_.end() ? nullptr : &it->second;
}

void DocxDocument::insertAt(std::size_t pos, const std::string& xml) {
  parts_[kDocumentPart].insert(pos, xml);
  for (auto& [n, b] : marks_) {
    if (b.startTagEnd > pos) b.startTagEnd += xml.size();
    if (b.textCursor > pos) b.textCursor += xml.size();
    if (b.blockCursor > pos) b.blockCursor += xml.size();
  }
}

std::size_t DocxDocument::blockPosition(Bookmark& b) const {
  if (b.blockCursor) return b.blockCursor;
  const std::string& xml = parts_.at(kDocumentPart);
  const std::size_t open = lastParagraphStart(xml, b.startTagEnd);
  const std::size_t close = xml.rfind("</w:p>", b.startTagEnd);
  if (open != std::string::npos && (close == std::string::npos || close < open)) {
    const std::size_t end = xml.find("</w:p>", b.startTagEnd);
    if (end != std::string::npos) return end + 6;
  }
  return b.startTagEnd;
}

bool DocxDocument::insertBlock(const std::string& name, const std::string& xml) {
  Bookmark* b = find(name);
  if (!b) return false;
  const std::size_t pos = blockPosition(*b);
  insertAt(pos, xml);
  b->blockCursor = pos + xml.size();
  return true;
}

bool DocxDocument::setBookmarkText(const std::string& name, const std::string& text, const DocxRunFormat& format) {
  Bookmark* b = find(name);
  if (!b) return false;
  const std::string& xml = parts_.at(kDocumentPart);
  const std::size_t open = lastParagraphStart(xml, b->startTagEnd);
  const std::size_t close = xml.rfind("</w:p>", b->startTagEnd);
  const bool inParagraph = open != std::string::npos && (close == std::string::npos || close < open);
  std::string run = runOf(text, format);
  if (!inParagraph) run = "<w:p>" + run + "</w:p>";
  const std::size_t pos = b->textCursor;
  insertAt(pos, run);
  b->textCursor = pos + run.size();
  return true;
}

bool DocxDocument::insertParagraphs(const std::string& name, const std::string& text, const DocxRunFormat& format,
                                    const std::string& style) {
  std::string pPr = "<w:pPr>";
  if (!style.empty()) pPr += "<w:pStyle w:val=\"" + docxEscape(style) + "\"/>";
  pPr += "<w:spacing w:before=\"0\" w:after=\"0\"/></w:pPr>";
  std::string xml;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    xml += "<w:p>" + pPr + (line.empty() ? std::string() : runOf(line, format)) + "</w:p>";
    if (end == text.size()) break;
    start = end + 1;
  }
  return insertBlock(name, xml);
}

bool DocxDocument::insertTable(const std::string& name, const DocxTable& table) {
  if (!hasBookmark(name)) return false;
  std::size_t columns = 0;
  for (const auto& r : table.rows) columns = std::max(columns, r.size());
  if (columns == 0) return true;
  std::vector<int> widths = table.columnWidths;
  widths.resize(columns, 0);
  for (int& w : widths)
    if (w <= 0) w = kDefaultTextWidth / static_cast<int>(columns);
  std::string xml =
      "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/><w:tblBorders>"
      "<w:top w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"7F7F7F\"/>"
      "<w:left w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"7F7F7F\"/>"
      "<w:bottom w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"7F7F7F\"/>"
      "<w:right w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"7F7F7F\"/>"
      "<w:insideH w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"BFBFBF\"/>"
      "<w:insideV w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"BFBFBF\"/>"
      "</w:tblBorders><w:tblLayout w:type=\"fixed\"/><w:tblCellMar>"
      "<w:left w:w=\"85\" w:type=\"dxa\"/><w:right w:w=\"85\" w:type=\"dxa\"/></w:tblCellMar>"
      "<w:tblLook w:val=\"0420\" w:firstRow=\"1\" w:lastRow=\"0\" w:firstColumn=\"0\" w:lastColumn=\"0\" "
      "w:noHBand=\"1\" w:noVBand=\"1\"/></w:tblPr><w:tblGrid>";
  for (int w : widths) xml += strprintf("<w:gridCol w:w=\"%d\"/>", w);
  xml += "</w:tblGrid>";
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const bool head = table.header && r == 0;
    xml += "<w:tr>";
    xml += head ? "<w:trPr><w:cantSplit/><w:tblHeader/></w:trPr>" : "<w:trPr><w:cantSplit/></w:trPr>";
    for (std::size_t c = 0; c < columns; ++c) {
      xml += strprintf("<w:tc><w:tcPr><w:tcW w:w=\"%d\" w:type=\"dxa\"/>", widths[c]);
      if (head) xml += "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"DCE6F0\"/>";
      xml += "</w:tcPr><w:p><w:pPr><w:spacing w:before=\"20\" w:after=\"20\"/></w:pPr>";
      DocxRunFormat f = table.format;
      f.bold = f.bold || head;
      if (c < table.rows[r].size() && !table.rows[r][c].empty()) xml += runOf(table.rows[r][c], f);
      xml += "</w:p></w:tc>";
    }
    xml += "</w:tr>";
  }
  xml += "</w:tbl>";
  // A table is followed by an empty paragraph so that two tables never merge.
  xml += "<w:p><w:pPr><w:spacing w:before=\"0\" w:after=\"0\"/></w:pPr></w:p>";
  return insertBlock(name, xml);
}

std::string DocxDocument::addImagePart(std::vector<std::uint8_t> png) {
  const std::string media = strprintf("rcimage%d.png", nextImage_++);
  const std::string part = "word/media/" + media;
  parts_[part] = std::string(png.begin(), png.end());
  order_.push_back(part);

  // The content type of PNG pictures, once.
  std::string& types = parts_[kContentTypesPart];
  std::string lower = types;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower.find("extension=\"png\"") == std::string::npos) {
    const std::size_t end = types.rfind("</Types>");
    const std::string entry = "<Default Extension=\"png\" ContentType=\"image/png\"/>";
    if (end != std::string::npos) types.insert(end, entry);
  }

  // The relationship from the main part, with an id no other relationship has.
  auto rels = parts_.find(kDocumentRelsPart);
  if (rels == parts_.end()) {
    parts_[kDocumentRelsPart] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"></Relationships>";
    order_.push_back(kDocumentRelsPart);
    rels = parts_.find(kDocumentRelsPart);
  }
  std::string id;
  for (int n = nextImage_ - 1;; ++n) {
    id = strprintf("rcImg%d", n);
    if (rels->second.find("\"" + id + "\"") == std::string::npos) break;
  }
  const std::size_t end = rels->second.rfind("</Relationships>");
  const std::string entry =
      "<Relationship Id=\"" + id + "\" Type=\"" + kImageRelType + "\" Target=\"media/" + media + "\"/>";
  if (end != std::string::npos) rels->second.insert(end, entry);
  return id;
}

bool DocxDocument::insertPicture(const std::string& name, std::vector<std::uint8_t> png, int widthPx, int heightPx,
                                 const std::string& description) {
  if (!hasBookmark(name)) return false;
  const std::string rid = addImagePart(std::move(png));
  const long long cx = static_cast<long long>(std::max(widthPx, 1)) * kEmuPerPixel;
  const long long cy = static_cast<long long>(std::max(heightPx, 1)) * kEmuPerPixel;
  const int id = nextDrawingId_++;
  const std::string descr = docxEscape(description);
  const std::string xml = strprintf(
      "<w:p><w:pPr><w:keepNext/><w:spacing w:before=\"0\" w:after=\"120\"/><w:jc w:val=\"center\"/></w:pPr>"
      "<w:r><w:drawing>"
      "<wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" "
      "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\">"
      "<wp:extent cx=\"%lld\" cy=\"%lld\"/><wp:docPr id=\"%d\" name=\"Chart %d\" descr=\"%s\"/>"
      "<wp:cNvGraphicFramePr><a:graphicFrameLocks noChangeAspect=\"1\" "
      "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"/></wp:cNvGraphicFramePr>"
      "<a:graphic xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\">"
      "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
      "<pic:pic xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
      "<pic:nvPicPr><pic:cNvPr id=\"%d\" name=\"Chart %d\"/><pic:cNvPicPr/></pic:nvPicPr>"
      "<pic:blipFill><a:blip r:embed=\"%s\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"/>"
      "<a:stretch><a:fillRect/></a:stretch></pic:blipFill>"
      "<pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"%lld\" cy=\"%lld\"/></a:xfrm>"
      "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>"
      "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>",
      cx, cy, id, id, descr.c_str(), id, id, rid.c_str(), cx, cy);
  return insertBlock(name, xml);
}

bool DocxDocument::insertPageBreak(const std::string& name) {
  return insertBlock(name, "<w:p><w:r><w:br w:type=\"page\"/></w:r></w:p>");
}

Result<std::vector<std::uint8_t>> DocxDocument::toBytes() const {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!src) return Status::error("the document cannot be assembled");
  zip_source_keep(src);
  std::unique_ptr<zip_source_t, void (*)(zip_source_t*)> keep(src, zip_source_free);
  zip_t* za = zip_open_from_source(src, ZIP_TRUNCATE, &error);
  if (!za) {
    zip_source_free(src);
    return Status::error("the document cannot be assembled");
  }
  // The content types first, as readers expect.
  std::vector<std::string> names;
  if (parts_.count(kContentTypesPart)) names.push_back(kContentTypesPart);
  for (const std::string& n : order_)
    if (n != kContentTypesPart && parts_.count(n)) names.push_back(n);
  for (const auto& [n, data] : parts_)
    if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
  for (const std::string& n : names) {
    const std::string& data = parts_.at(n);
    zip_source_t* s = zip_source_buffer(za, data.data(), data.size(), 0);
    const zip_int64_t idx = s ? zip_file_add(za, n.c_str(), s, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) : -1;
    if (idx < 0) {
      if (s) zip_source_free(s);
      zip_discard(za);
      return Status::error("the document cannot be assembled: " + n);
    }
    // Pictures are compressed already; text parts are deflated quickly.
    if (!isXmlPart(n))
      zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_STORE, 0);
    else
      zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, 6);
  }
  if (zip_close(za) != 0) {
    zip_discard(za);
    return Status::error("the document cannot be assembled");
  }
  std::vector<std::uint8_t> out;
  if (zip_source_open(src) != 0) return Status::error("the document cannot be assembled");
  zip_source_seek(src, 0, SEEK_END);
  const zip_int64_t size = zip_source_tell(src);
  zip_source_seek(src, 0, SEEK_SET);
  if (size > 0) {
    out.resize(static_cast<std::size_t>(size));
    if (zip_source_read(src, out.data(), out.size()) != size) {
      zip_source_close(src);
      return Status::error("the document cannot be assembled");
    }
  }
  zip_source_close(src);
  return out;
}

Status DocxDocument::save(const std::filesystem::path& file) const {
  auto bytes = toBytes();
  if (!bytes) return bytes.status();
  return writeFileAtomic(file, std::span<const std::uint8_t>(*bytes));
}

std::string checkDocxPackage(std::span<const std::uint8_t> bytes) {
  std::map<std::string, std::string> parts;
  std::vector<std::string> order;
  if (Status s = readPackage(bytes, parts, order); !s) return s.message() + "\n";
  std::string problems;
  auto it = parts.find(kContentTypesPart);
  if (it == parts.end()) return "no content types part\n";
  const std::string& types = it->second;
  for (const auto& [name, data] : parts) {
    std::string why;
    if (isXmlPart(name) && !wellFormed(data, &why)) problems += name + " is not well-formed: " + why + "\n";
    if (name == kContentTypesPart) continue;
    const bool overridden = types.find("PartName=\"/" + name + "\"") != std::string::npos;
    const std::size_t dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string lower = types;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (!overridden && lower.find("extension=\"" + ext + "\"") == std::string::npos)
      problems += name + " has no content type\n";
  }
  // Every internal relationship target of every relationship part exists.
  for (const auto& [name, data] : parts) {
    const std::string suffix = ".rels";
    if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    // "word/_rels/document.xml.rels" -> base folder "word/"
    const std::size_t relsDir = name.rfind("_rels/");
    const std::string base = relsDir == std::string::npos ? std::string() : name.substr(0, relsDir);
    std::size_t p = 0;
    while ((p = findStartTag(data, "Relationship", p)) != std::string::npos) {
      const std::size_t end = data.find('>', p);
      if (end == std::string::npos) break;
      const std::string_view tag = std::string_view(data).substr(p, end - p);
      p = end;
      if (attribute(tag, "TargetMode").value_or("") == "External") continue;
      auto target = attribute(tag, "Target");
      if (!target) {
        problems += name + ": a relationship without a target\n";
        continue;
      }
      std::string path = !target->empty() && target->front() == '/' ? target->substr(1) : base + *target;
      // Resolve "../" steps.
      std::vector<std::string> seg;
      std::size_t s = 0;
      while (s <= path.size()) {
        std::size_t e = path.find('/', s);
        if (e == std::string::npos) e = path.size();
        const std::string part = path.substr(s, e - s);
        if (part == "..") {
          if (!seg.empty()) seg.pop_back();
        } else if (!part.empty() && part != ".") {
          seg.push_back(part);
        }
        s = e + 1;
      }
      std::string resolved;
      for (const auto& x : seg) resolved += (resolved.empty() ? "" : "/") + x;
      if (!parts.count(resolved)) problems += name + ": the target " + *target + " is missing\n";
    }
  }
  return problems;
}

}  // namespace rc
