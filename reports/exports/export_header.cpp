#include "reports/exports/export_header.h"

#include <clocale>
#include <ctime>
#include <locale.h>

#include "store/ado_database.h"
#include "store/records.h"
#include "store/records_host.h"
#include "support/language.h"

namespace rc {
namespace {

namespace fs = std::filesystem;

// Splits UTF-8 text into its characters (a lead byte and its continuations).
std::vector<std::string> characters(const std::string& s) {
  std::vector<std::string> out;
  for (unsigned char c : s) {
    if ((c & 0xC0) == 0x80 && !out.empty())
      out.back() += static_cast<char>(c);
    else
      out.emplace_back(1, static_cast<char>(c));
  }
  return out;
}

std::string mask(const std::string& name, std::size_t keep) {
  const std::vector<std::string> chars = characters(name);
  if (chars.size() <= keep) return name;
  std::string out;
  for (std::size_t i = 0; i < chars.size(); ++i) out += i < keep ? chars[i] : std::string("*");
  return out;
}

bool valid(const DbDateTime& d) {
  return d.year >= 1 && d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31 && d.hour >= 0 &&
         d.hour < 24 && d.minute >= 0 && d.minute < 60 && d.second >= 0 && d.second < 62;
}

std::string formatRegional(const DbDateTime& d, const char* format) {
  if (d.isNull()) return {};
  if (!valid(d)) return "Invalid DateTime";
  std::tm tm{};
  tm.tm_year = d.year - 1900;
  tm.tm_mon = d.month - 1;
  tm.tm_mday = d.day;
  tm.tm_hour = d.hour;
  tm.tm_min = d.minute;
  tm.tm_sec = d.second;
  std::tm norm = tm;
  (void)timegm(&norm);  // fills the weekday for formats that show it
  tm.tm_wday = norm.tm_wday;
  tm.tm_yday = norm.tm_yday;
  char buf[128] = {};
  locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (!loc) loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
  const std::size_t n = loc ? strftime_l(buf, sizeof buf, format, &tm, loc) : 0;
  if (loc) freelocale(loc);
  return std::string(buf, n);
}

template <typename Fn>
std::string withMainDatabase(const fs::path& dataRoot, Fn fn) {
  try {
    CADODatabase db;
    if (!db.open(dataRoot / "csdb.zeb", CADODatabase::Mode::ReadOnly)) return {};
    return fn(db);
  } catch (const CADOException&) {
    return {};
  }
}

}  // namespace

std::string maskLastName(const std::string& name) { return mask(name, 2); }
std::string maskFirstName(const std::string& name) { return mask(name, 1); }

std::string regionalDate(const DbDateTime& d) { return formatRegional(d, "%x"); }
std::string regionalTime(const DbDateTime& d) { return formatRegional(d, "%X"); }

std::string clientCaptionText(const ExportSessionInfo& info) {
  return withMainDatabase(info.dataRoot, [&](CADODatabase& db) -> std::string {
    bool confidential = false;
    try {
      confidential = readHostSettings(db).confidential;
    } catch (const CADOException&) {
    }
    CRecClients rec(db);
    rec.openQuery("SELECT * FROM Clients WHERE " + clientCriterion(info.clientId));
    if (rec.isEOF()) return {};
    std::string text = str(323) + ": ";
    if (!rec.ClinicID.empty()) text += rec.ClinicID + " - ";
    if (confidential)
      text += maskLastName(rec.LastName) + ", " + maskFirstName(rec.FirstName);
    else
      text += rec.FirstName + " " + rec.LastName;
    return text;
  });
}

std::string sessionCaptionText(const ExportSessionInfo& info) {
  return withMainDatabase(info.dataRoot, [&](CADODatabase& db) -> std::string {
    CRecSessions rec(db);
    rec.openQuery(sessionQuery(info.clientId, info.sessionId));
    if (rec.isEOF()) return {};
    return str(345) + ": " + regionalDate(rec.DateTime) + "\t\t" + str(346) + ": " + regionalTime(rec.DateTime);
  });
}

std::string sessionScriptName(const fs::path& dataRoot, std::int32_t clientId, std::int32_t sessionId) {
  return withMainDatabase(dataRoot, [&](CADODatabase& db) -> std::string {
    CRecSessions rec(db);
    rec.openQuery(sessionQuery(clientId, sessionId));
    if (rec.isEOF() || rec.OpenSession) return {};
    std::string name = rec.FileName;
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
  });
}

std::string exportHeaderText(int titleId, const ExportSessionInfo& info) {
  std::string t = str(titleId) + "\n\n" + clientCaptionText(info) + "\t";
  if (info.openSession)
    t += "\n";
  else
    t += str(111) + ": " + info.scriptName + "\n";
  t += sessionCaptionText(info) + "\n\n";
  return t;
}

}  // namespace rc
