#include "support/xml_utf8.h"

namespace rc {

std::u16string xmlDecodeUtf8(std::span<const std::uint8_t> bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      if (b == 0) break;
      out.push_back(static_cast<char16_t>(b));
      ++i;
      continue;
    }
    std::size_t extra = 0;
    std::uint32_t cp = 0;
    if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1Fu;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0Fu;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07u;
    } else {
      // 11111xxx, or a continuation byte without a lead byte.
      out.push_back(u'?');
      ++i;
      continue;
    }
    std::size_t k = 1;
    bool bad = false;
    for (; k <= extra; ++k) {
      if (i + k >= n) {
        // A sequence cut off by the end of the input.
        out.push_back(u'?');
        return out;
      }
      const std::uint8_t f = bytes[i + k];
      if (f < 0x80) {
        bad = true;
        break;
      }
      cp = (cp << 6) | (f & 0x3Fu);
    }
    if (bad) {
      // The byte below 0x80 is kept: it starts the next character.
      out.push_back(u'?');
      i += k;
      continue;
    }
    i += extra + 1;
    if (cp == 0) break;
    if (cp > 0x10FFFF) {
      out.push_back(u'?');
    } else if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::u16string xmlDecodeUtf8(std::string_view bytes) {
  return xmlDecodeUtf8(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string xmlEncodeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t cp = text[i];
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
        ++i;
      } else {
        out.push_back('?');
        continue;
      }
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      out.push_back('?');
      continue;
    }
    if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace rc
