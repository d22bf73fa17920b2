// rc_make_docx OUT.docx COMMON_DIR TEMPLATE_DIR: zips the parts of a
// word-processor template, those of TEMPLATE_DIR over those of COMMON_DIR,
// with the content types first. XML comments (the notes of the sources) are
// left out.
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static void collect(const fs::path& dir, std::map<std::string, std::string>& parts) {
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    for (std::size_t p; (p = text.find("<!--")) != std::string::npos;) {
      const std::size_t end = text.find("-->", p);
      if (end == std::string::npos) break;
      std::size_t lineStart = text.rfind('\n', p);
      lineStart = lineStart == std::string::npos ? p : lineStart;
      text.erase(lineStart, end + 3 - lineStart);
    }
    parts[fs::relative(e.path(), dir).generic_string()] = text;
  }
}

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: rc_make_docx OUT.docx COMMON_DIR TEMPLATE_DIR\n");
    return 2;
  }
  std::map<std::string, std::string> parts;
  collect(argv[2], parts);
  collect(argv[3], parts);
  const std::string tmp = std::string(argv[1]) + ".part";
  fs::remove(tmp);
  int err = 0;
  zip_t* za = zip_open(tmp.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!za) {
    std::fprintf(stderr, "rc_make_docx: cannot create %s\n", tmp.c_str());
    return 1;
  }
  std::vector<std::string> names;
  names.push_back("[Content_Types].xml");
  for (const auto& [n, d] : parts)
    if (n != names.front()) names.push_back(n);
  for (const std::string& n : names) {
    const std::string& d = parts[n];
    zip_source_t* s = zip_source_buffer(za, d.data(), d.size(), 0);
    if (!s || zip_file_add(za, n.c_str(), s, ZIP_FL_ENC_UTF_8) < 0) {
      std::fprintf(stderr, "rc_make_docx: cannot add %s\n", n.c_str());
      zip_discard(za);
      return 1;
    }
  }
  if (zip_close(za) != 0) {
    std::fprintf(stderr, "rc_make_docx: cannot write %s\n", tmp.c_str());
    return 1;
  }
  fs::rename(tmp, argv[1]);
  return 0;
}
