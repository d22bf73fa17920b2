#pragma once
// Conversions between the program's UTF-16 text and UTF-8 (files, the
// terminal, Qt), and the Windows-1252 code page of older host records.
#include <string>
#include <string_view>

namespace rc {

// Invalid sequences become U+FFFD; unpaired surrogates too.
std::string toUtf8(std::u16string_view s);
std::u16string fromUtf8(std::string_view s);

// One Windows-1252 byte as a UTF-16 code unit (0x80..0x9F through the code
// page's table; the five undefined bytes map to themselves).
char16_t fromCp1252(unsigned char byte);

}  // namespace rc
