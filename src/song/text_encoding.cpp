#include "song/text_encoding.h"

#include <cstdint>

namespace varnel {

// "Программный синтезатор звуковой" in code page 1251: 31 bytes, the longest a device name gets.
const std::string LocalizedSynthName =
    "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xED\xFB\xE9\x20\xF1\xE8\xED\xF2\xE5\xE7\xE0\xF2\xEE\xF0\x20"
    "\xE7\xE2\xF3\xEA\xEE\xE2\xEE\xE9";
const std::string EnglishSynthName = "Microsoft GS Wavetable Synth";

namespace {

// Length of the valid UTF-8 sequence starting at i, or 0.
size_t Utf8SequenceLength(const std::string& s, size_t i) {
  const auto c = uint8_t(s[i]);
  size_t n;
  uint32_t min;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) {
    n = 2, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  uint32_t cp = c & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    const auto cc = uint8_t(s[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// Windows-1252 0x80..0x9F; the five unassigned bytes map to their C1 control code points.
constexpr uint16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8SequenceLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string DisplayText(const std::string& bytes) {
  if (IsValidUtf8(bytes)) return bytes;
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto c = uint8_t(ch);
    AppendUtf8(out, c >= 0x80 && c <= 0x9F ? Cp1252High[c - 0x80] : c);
  }
  return out;
}

std::string CutText(const std::string& bytes, size_t maxBytes) {
  if (bytes.size() <= maxBytes) return bytes;
  if (!IsValidUtf8(bytes)) return bytes.substr(0, maxBytes);
  size_t end = maxBytes;
  while (end > 0 && (uint8_t(bytes[end]) & 0xC0) == 0x80) --end;
  return bytes.substr(0, end);
}

}  // namespace varnel
