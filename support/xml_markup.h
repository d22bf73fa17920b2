#pragma once
// CXMLMarkup: the one document class through which every XML file of the
// program is read, changed and written.
//
// The whole document is kept as one UTF-16 string plus an index of its
// elements. Navigation is by element name with a three-level position
// (parent / main / child). Content edits replace text in the document string
// in place and shift the index, so everything that is not edited stays
// byte-for-byte as it was loaded.
//
// The parser is tolerant: it never rejects a document. It indexes what it
// can, keeps the first problem as the result text (GetError) and reports
// whether the document is well-formed. Callers that need an element simply
// look for it and keep their defaults when it is missing.
//
// Offsets and lengths are in UTF-16 code units. Not thread-safe; one owner.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace rc {

class CXMLMarkup {
 public:
  // Document flag: compare element names without regard to ASCII case.
  static constexpr int MDF_IGNORECASE = 8;

  CXMLMarkup();
  explicit CXMLMarkup(std::u16string_view doc);

  // Replaces the document and parses it; the position is reset to before the
  // root element. Returns IsWellFormed().
  bool SetDoc(std::u16string_view doc);
  const std::u16string& GetDoc() const { return doc_; }
  // A root element, no sibling of it, and no ill-formed node or tag.
  bool IsWellFormed() const;
  // The first problem of the last parse, or the message of the last Load/Save
  // (followed by ", " and the parse's message when the load's parse found one).
  const std::u16string& GetError() const { return result_; }
  std::string GetErrorUtf8() const;

  int GetDocFlags() const { return docFlags_; }
  void SetDocFlags(int flags) { docFlags_ = flags; }

  // Reads a UTF-8 file and parses it. False (with the system's error text as
  // result, and an empty document) when the file cannot be read.
  bool Load(const std::filesystem::path& file);
  // Writes the document as UTF-8 (no byte order mark, nothing added) by way
  // of a temporary file that replaces the target only when complete. False,
  // with the old file intact, when writing fails or the document has no root
  // element.
  bool Save(const std::filesystem::path& file);

  // Navigation: each returns true on success and leaves the position as it
  // was on failure. An empty name matches any element. A name matches an
  // element whose tag name is exactly that name ("Setting" does not match
  // "Setting1").
  bool FindElem(std::u16string_view name = {});
  bool FindElem(std::string_view name);
  bool FindChildElem(std::u16string_view name = {});
  bool FindChildElem(std::string_view name);
  bool IntoElem();
  bool OutOfElem();
  void ResetPos();       // before the root element
  void ResetMainPos();   // before the first child of the parent position
  void ResetChildPos();  // before the first child of the main position

  std::u16string GetTagName() const;
  std::u16string GetChildTagName() const;

  // Text content of the main / child element (unescaped; CDATA as written).
  // Empty for an element with child elements, an empty element, or no position.
  std::u16string GetData() const;
  std::u16string GetChildData() const;
  std::string GetDataUtf8() const;
  std::string GetChildDataUtf8() const;

  // Replaces the content of the main / child element by the escaped value.
  // False when there is no such element or it has child elements.
  bool SetData(std::u16string_view value);
  bool SetData(std::string_view value);
  bool SetChildData(std::u16string_view value);
  bool SetChildData(std::string_view value);
  bool SetChildData(const char* value) { return SetChildData(std::string_view(value)); }
  bool SetChildData(int value);

  // Appends a new element <name>value</name> as the last child of the main
  // element, indented like its siblings, and makes it the child position.
  // False when there is no main element or the name is not a valid name.
  bool AddChildElem(std::u16string_view name, std::u16string_view value = {});
  bool AddChildElem(std::string_view name, std::string_view value = {});
  // Sets the content of the first child element called name of the main
  // element, appending the element when it is missing. The child position is
  // that element afterwards.
  bool WriteChildData(std::string_view name, std::string_view value);

  static std::u16string EscapeText(std::u16string_view text);
  static std::u16string UnescapeText(std::u16string_view text);

 private:
  struct ElemPos {
    std::int32_t start = 0;   // offset of "<"
    std::int32_t length = 0;  // "<" to the end of the end tag (or of the empty tag)
    std::int32_t startTagLen = 0;
    std::int32_t endTagLen = 0;  // 0 for an empty element or one not ended
    std::uint32_t flags = 0;
    std::int32_t parent = 0;
    std::int32_t child = 0;  // first child
    std::int32_t next = 0;
    std::int32_t prev = 0;  // the first child's prev is the last child
  };
  static constexpr std::uint32_t kIllFormed = 0x10;  // on the document record
  static constexpr std::uint32_t kNotEnded = 0x20;
  static constexpr std::uint32_t kEndTagMismatch = 0x40;
  static constexpr std::uint32_t kFirstChild = 0x80;
  static constexpr int kBlockBits = 16;
  static constexpr std::int32_t kBlockSize = 1 << kBlockBits;

  ElemPos& elem(std::int32_t i) { return blocks_[i >> kBlockBits][i & (kBlockSize - 1)]; }
  const ElemPos& elem(std::int32_t i) const { return blocks_[i >> kBlockBits][i & (kBlockSize - 1)]; }
  std::int32_t newElem();
  void clearIndex(std::size_t initialCapacity);
  void linkLastChild(std::int32_t parent, std::int32_t e);
  void closeNotEnded(std::int32_t e, bool mismatch);

  bool parse(std::u16string loadNote);
  void setErrorOnce(std::u16string message);
  std::size_t parseStartTag(std::size_t i, std::vector<std::int32_t>& stack);
  std::size_t parseEndTag(std::size_t i, std::vector<std::int32_t>& stack);
  std::size_t parseBang(std::size_t i);

  bool nameMatches(std::int32_t e, std::u16string_view name) const;
  std::u16string_view elemName(std::int32_t e) const;
  std::u16string dataOf(std::int32_t e) const;
  bool setDataOf(std::int32_t e, std::u16string_view value);
  // Replaces doc_[pos, pos + oldLen) and shifts every element after it;
  // elements enclosing the range grow or shrink with it.
  void replaceText(std::size_t pos, std::size_t oldLen, std::u16string_view text);

  std::u16string doc_;
  std::u16string result_;
  // Blocks of at most kBlockSize records; element number = block << 16 | index.
  std::vector<std::vector<ElemPos>> blocks_;
  std::int32_t count_ = 0;  // records in use, including record 0
  std::size_t reserveHint_ = 0;
  int docFlags_ = 0;
  std::int32_t posParent_ = 0;
  std::int32_t posMain_ = 0;
  std::int32_t posChild_ = 0;
};

}  // namespace rc
