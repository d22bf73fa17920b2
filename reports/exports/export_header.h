#pragma once
// The identification block at the top of an export file: the title, the
// client caption (with the host's name masking), the script name of a
// scripted session, and the session caption (date and time in the user's
// regional format). The two captions also head the report screen.
#include <cstdint>
#include <filesystem>
#include <string>

#include "store/ado_types.h"

namespace rc {

// The session an export describes, as the host database and the loaded
// session know it.
struct ExportSessionInfo {
  std::filesystem::path dataRoot;  // holds the host's main database
  std::int32_t clientId = 0;
  std::int32_t sessionId = 0;
  bool openSession = true;
  std::string scriptName;  // the session's script (scripted sessions)
};

// A last name of more than 2 characters keeps its first 2 and shows "*" for
// each further one; a first name of more than 1 keeps its first. Characters
// are counted as the user sees them (UTF-8 sequences stay whole).
std::string maskLastName(const std::string& name);
std::string maskFirstName(const std::string& name);

// Date only and time only in the user's regional format (LC_TIME); the
// empty text for a null value and "Invalid DateTime" for an impossible one.
std::string regionalDate(const DbDateTime& d);
std::string regionalTime(const DbDateTime& d);

// "323: [ClinicID - ]First Last" (or "Last*, F*" when the host masks client
// names); the empty text when the database or the client cannot be read.
std::string clientCaptionText(const ExportSessionInfo& info);
// "345: <date>\t\t346: <time>"; the empty text when the session cannot be read.
std::string sessionCaptionText(const ExportSessionInfo& info);

// The script name of a session as its row names it (the file name without
// its folder and extension); empty for an open session or a failed read.
std::string sessionScriptName(const std::filesystem::path& dataRoot, std::int32_t clientId,
                              std::int32_t sessionId);

// title + "\n\n" + client caption + "\t" + ("\n" | 111 + ": " + script + "\n")
// + session caption + "\n\n".
std::string exportHeaderText(int titleId, const ExportSessionInfo& info);

}  // namespace rc
