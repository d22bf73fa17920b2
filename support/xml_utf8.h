#pragma once
// The UTF-8 <-> UTF-16 conversions of the XML document class: tolerant on
// input (invalid sequences become "?", overlong forms are accepted, a decoded
// NUL ends the text) and strict on output (only well-paired surrogates are
// combined; anything that cannot be a Unicode scalar value becomes "?").
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace rc {

// Decodes UTF-8 bytes into UTF-16. Never reads past the end of the input.
std::u16string xmlDecodeUtf8(std::span<const std::uint8_t> bytes);
std::u16string xmlDecodeUtf8(std::string_view bytes);

// Encodes UTF-16 as UTF-8 (1 to 4 bytes per code point, no byte order mark).
std::string xmlEncodeUtf8(std::u16string_view text);

}  // namespace rc
