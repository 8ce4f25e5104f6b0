// What the fuzz targets check the core against: character boundaries, the
// expansion, the title split and the number texts, written a second time on
// std::string and without calling anything in src/. A check that asked the
// code under test where a character ends could never catch a wrong cut.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace ref {

inline void Check(bool condition) {
  if (!condition) abort();
}

// The targets' inputs: a few fixed bytes, then texts that each end at a zero
// byte or unit (the last one may end with the input), so a seed can be
// written by hand. Past the end everything reads as zero.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Left() const { return size_ - at_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  int32_t Int32() {
    uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value |= uint32_t{Byte()} << (8 * k);
    return static_cast<int32_t>(value);
  }
  // False, with text empty, when no byte is left.
  bool Text(std::string* text) {
    text->clear();
    if (at_ >= size_) return false;
    while (at_ < size_ && data_[at_] != 0) text->push_back(static_cast<char>(data_[at_++]));
    if (at_ < size_) ++at_;
    return true;
  }
  std::u16string Utf16() {
    std::u16string units;
    while (at_ < size_) {
      uint8_t low = Byte();
      char16_t unit = static_cast<char16_t>(low | Byte() << 8);
      if (unit == 0) break;
      units += unit;
    }
    return units;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// How a text's bytes form characters: a modelled ANSI code page, or UTF-8.
constexpr unsigned kUtf8 = 65001;
// The code pages the portable text model knows, picked by one input byte.
inline unsigned PickCodePage(uint8_t byte) {
  static const unsigned kPages[3] = {1252, 932, 936};
  return kPages[byte % 3];
}

// Lead bytes as the code pages' tables list them.
inline bool IsLeadByte(unsigned codePage, unsigned char byte) {
  if (codePage == 932) return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
  if (codePage == 936) return byte >= 0x81 && byte <= 0xFE;
  return false;
}

// Bytes of the character that starts at text[at]: a double-byte character takes
// the next byte, whatever it is, when the text has one; a lead byte that ends
// the text is a broken character of its own, so no cut may leave one behind
// where the whole text continued. UTF-8 sizes come from the lead byte alone.
inline size_t CharBytes(unsigned encoding, const std::string& text, size_t at) {
  unsigned char lead = static_cast<unsigned char>(text[at]);
  size_t size = 1;
  if (encoding == kUtf8) {
    size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  } else if (IsLeadByte(encoding, lead)) {
    size = 2;
  }
  return at + size <= text.size() ? size : text.size() - at;
}

// The text with every byte that does not belong to a well-formed UTF-8
// sequence replaced by '?', as a text composed in UTF-8 always is.
inline std::string WholeUtf8(std::string text) {
  for (size_t at = 0; at < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t size = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    for (size_t k = 1; k < size; ++k)
      if (at + k >= text.size() || (static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) size = 0;
    if (size == 0) text[at] = '?';
    at += size == 0 ? 1 : size;
  }
  return text;
}

// Offsets where a character starts, then text.size().
inline std::vector<size_t> Starts(unsigned encoding, const std::string& text) {
  std::vector<size_t> starts;
  for (size_t at = 0; at < text.size(); at += CharBytes(encoding, text, at)) starts.push_back(at);
  starts.push_back(text.size());
  return starts;
}

// The longest prefix of at most maxBytes that ends where a character of the
// whole text ends.
inline std::string Fit(unsigned encoding, const std::string& text, size_t maxBytes) {
  size_t fit = 0;
  for (size_t start : Starts(encoding, text))
    if (start <= maxBytes) fit = start;
  return text.substr(0, fit);
}

// The first occurrence of needle that starts a character, or npos.
inline size_t Find(unsigned encoding, const std::string& text, const std::string& needle) {
  for (size_t start : Starts(encoding, text))
    if (text.compare(start, needle.size(), needle) == 0) return start;
  return std::string::npos;
}

// Sections, read character by character: "$(" opens one, the next "$)"
// closes it; it stays without the pair when no placeholder in it has an empty
// value, and goes whole otherwise. An unclosed "$(" stays as typed.
constexpr int kTokens = 14;
inline std::string SettleSections(unsigned encoding, const std::string& format, const std::string values[kTokens]) {
  static const std::string kLetters = "ATIDBSLPRYGNME";
  const std::vector<size_t> starts = Starts(encoding, format);
  std::string out, section;
  bool open = false, filled = true;
  for (size_t k = 0; k + 1 < starts.size(); ++k) {
    const std::string two = format.substr(starts[k], 2), character = format.substr(starts[k], starts[k + 1] - starts[k]);
    if (two == (open ? "$)" : "$(")) {
      if (open && filled) out += section;
      open = !open, filled = true, section.clear(), ++k;
    } else if (open) {
      size_t letter = two[0] == '$' && two.size() == 2 ? kLetters.find(two[1]) : std::string::npos;
      if (letter != std::string::npos && values[letter].empty()) filled = false;
      section += character;
    } else {
      out += character;
    }
  }
  return open ? out + "$(" + section : out;
}

// The fourteen placeholders in the order they are replaced (a tag's, $M's
// and $E's only when the template names it); each step replaces the first
// occurrence in the text so far and keeps at most 1023 bytes.
inline std::string Expand(unsigned encoding, const std::string& format, const std::string values[kTokens]) {
  static const char kOrder[] = "ATIDBSLPRYGNME";
  std::string text = Fit(encoding, SettleSections(encoding, format, values), 1023);
  for (int i = 0; i < kTokens; ++i) {
    const std::string token = std::string("$") + kOrder[i];
    if (i >= 8 && Find(encoding, format, token) == std::string::npos) continue;
    size_t at = Find(encoding, text, token);
    if (at != std::string::npos) text = text.substr(0, at) + values[i] + text.substr(at + 2);
    text = Fit(encoding, text, 1023);
  }
  return text;
}

// "Artist - Title": before the first "- " (or else the first "-") with the
// spaces before it dropped, and after it without the spaces after it. A
// hyphen at the start splits nothing; the title is then the whole text too.
struct Split {
  std::string artist;
  bool hasTitle;
  std::string title;
};
inline Split SplitTitle(const std::string& text) {
  size_t hyphen = text.find("- ");
  if (hyphen == std::string::npos) hyphen = text.find('-');
  if (hyphen == std::string::npos) return {text, false, ""};
  if (hyphen == 0) return {text, true, text};
  size_t artistEnd = text.find_last_not_of(' ', hyphen - 1);
  size_t titleStart = text.find_first_not_of(' ', hyphen + 1);
  return {artistEnd == std::string::npos ? "" : text.substr(0, artistEnd + 1), true,
          titleStart == std::string::npos ? "" : text.substr(titleStart)};
}

// The number texts as printf writes them.
inline std::string Printed(const char* format, long long a, long long b = 0, long long c = 0) {
  char text[64];
  snprintf(text, sizeof text, format, a, b, c);
  return text;
}
inline std::string LengthText(int32_t seconds) {
  if (seconds == -1) return "";
  if (seconds < 3600) return Printed("%lld:%02lld", seconds / 60 % 60, seconds % 60);
  return Printed("%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// The bar for a length of at least 1 s: the cell from whole seconds, held
// inside the bar when the position lies outside the track.
inline std::string Bar(int32_t lengthSeconds, int32_t positionMs) {
  if (lengthSeconds < 1) return "";
  int32_t cell = positionMs / 1000 * 10 / lengthSeconds;
  cell = cell < 0 ? 0 : cell > 10 ? 10 : cell;
  std::string bar = "[----------]";
  bar[static_cast<size_t>(cell) + 1] = '|';
  return bar;
}

inline void AppendUtf8(uint32_t codePoint, std::string* out) {
  if (codePoint < 0x80) {
    *out += static_cast<char>(codePoint);
    return;
  }
  int continuation = codePoint < 0x800 ? 1 : codePoint < 0x10000 ? 2 : 3;
  static const unsigned char kLeadMarks[4] = {0, 0xC0, 0xE0, 0xF0};
  *out += static_cast<char>(kLeadMarks[continuation] | (codePoint >> (6 * continuation)));
  for (int k = continuation - 1; k >= 0; --k) *out += static_cast<char>(0x80 | ((codePoint >> (6 * k)) & 0x3F));
}

// UTF-16 to UTF-8, an unpaired surrogate as U+FFFD, whole characters only
// while they fit maxBytes.
inline std::string Utf16ToUtf8(const std::u16string& units, size_t maxBytes = SIZE_MAX) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t codePoint = units[i];
    bool high = codePoint >= 0xD800 && codePoint < 0xDC00;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (units[++i] - 0xDC00u);
    } else if (codePoint >= 0xD800 && codePoint < 0xE000) {
      codePoint = 0xFFFD;
    }
    std::string encoded;
    AppendUtf8(codePoint, &encoded);
    if (out.size() + encoded.size() > maxBytes) break;
    out += encoded;
  }
  return out;
}

// The modelled code pages in UTF-8: 1252 whole (its five unassigned bytes as
// the C1 controls Windows gives them); 932 knows ASCII and the half-width
// katakana, 936 only ASCII; everything else there is U+FFFD.
inline std::string AnsiToUtf8(unsigned codePage, const std::string& text) {
  static const char* const k1252High[32] = {
      "€", "\xC2\x81", "‚", "ƒ", "„", "…", "†", "‡", "ˆ", "‰", "Š", "‹", "Œ", "\xC2\x8D", "Ž", "\xC2\x8F",
      "\xC2\x90", "‘", "’", "“", "”", "•", "–", "—", "˜", "™", "š", "›", "œ", "\xC2\x9D", "ž", "Ÿ"};
  std::string out;
  for (size_t at = 0; at < text.size(); at += CharBytes(codePage, text, at)) {
    unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else if (codePage == 1252) {
      if (byte < 0xA0) out += k1252High[byte - 0x80];
      else AppendUtf8(byte, &out);
    } else if (codePage == 932 && byte >= 0xA1 && byte <= 0xDF) {
      AppendUtf8(0xFF61 + (byte - 0xA1u), &out);
    } else {
      out += "\xEF\xBF\xBD";
    }
  }
  return out;
}

// A stream's file name has "://" and does not start with "cda://" (an audio
// CD's track), ASCII letters in any case; for ANSI and UTF-16 names alike.
template <typename Text>
bool IsStream(const Text& name) {
  static const char kCd[] = "cda://";
  Text head = name.substr(0, 6);
  for (auto& unit : head) unit = unit >= 'A' && unit <= 'Z' ? unit + 32 : unit;
  return head != Text(kCd, kCd + 6) && name.find(Text(kCd + 3, kCd + 6)) != Text::npos;
}

}  // namespace ref
