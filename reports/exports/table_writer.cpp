#include "reports/exports/table_writer.h"

namespace rc {
namespace {

// At most 255 characters (UTF-8 sequences stay whole).
std::string cut255(const std::string& s) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (chars == 255) return s.substr(0, i);
      ++chars;
    }
  }
  return s;
}

std::string line(const std::vector<std::string>& cells, const std::vector<std::size_t>& columns, char list,
                 bool cut) {
  std::string out;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::size_t c = columns[i];
    const std::string text = c < cells.size() ? cells[c] : std::string();
    out += cut ? cut255(text) : text;
    out += i + 1 == columns.size() ? '\n' : list;
  }
  return out;
}

}  // namespace

void writeTableExport(ExportFile& file, const TextTable& table, bool header, bool scripted, int statisticOption,
                      char list) {
  const std::size_t c0 = scripted ? 0 : statisticOption == 1 ? 5 : 4;
  std::vector<std::size_t> columns;
  for (std::size_t c = c0; c < table.headers.size(); ++c) {
    if (scripted && statisticOption == 1 && c == 4) continue;
    columns.push_back(c);
  }
  if (columns.empty()) return;
  if (header) file.WriteExportLine(std::string_view(line(table.headers, columns, list, true)));
  std::string chunk;
  for (const auto& row : table.rows) {
    chunk += line(row, columns, list, false);
    if (chunk.size() > 60000) {
      file.WriteExportLine(std::string_view(chunk));
      chunk.clear();
    }
  }
  if (!chunk.empty()) file.WriteExportLine(std::string_view(chunk));
}

void writeSessionExport(ExportFile& file, const TextTable& sessionTable, bool header, char list) {
  std::string a, b;
  for (std::size_t i = 0; i < sessionTable.rows.size(); ++i) {
    if (i) {
      a += list;
      b += list;
    }
    const auto& row = sessionTable.rows[i];
    a += row.size() > 0 ? row[0] : std::string();
    b += row.size() > 1 ? row[1] : std::string();
  }
  if (header) file.WriteExportLine(std::string_view(a + "\n"));
  file.WriteExportLine(std::string_view(b + "\n"));
}

}  // namespace rc
