// The messenger's custom-message record, built in a caller's fixed buffer.
#include "messenger/status_record.h"

#include <string.h>

#include "common/bounded_writer.h"
#include "platform/text.h"

namespace {

const char kSeparator[] = "\xC0\x80";
const char kHeadphonesStatus[] = "YSTATUS=2\tu\t0\ts\t0\tp\t1\tm\t59\td\t0";

// The icon and headphones groups: at most 2+2+2+3 and 45 bytes.
constexpr size_t kGroupsSize = 64;

// The groups that follow the text, in their fixed order: status icon, then headphones.
bool BuildGroups(const RecordOptions& options, char* groups, size_t groupsSize, size_t* length) {
  BoundedWriter writer(groups, groupsSize);
  if (options.statusIcon != 0) {
    writer.AppendText(kSeparator);
    writer.AppendDecimal(47);
    writer.AppendText(kSeparator);
    writer.AppendDecimal(options.statusIcon);
  }
  if (options.headphonesIcon != 0) {
    writer.AppendText(kSeparator);
    writer.AppendDecimal(184);
    writer.AppendText(kSeparator);
    writer.AppendText(kHeadphonesStatus);
    writer.AppendText(kSeparator);
    writer.AppendDecimal(187);
    writer.AppendText(kSeparator);
    writer.AppendDecimal(2);
  }
  *length = writer.Length();
  return !writer.Failed();
}

// The record's fields are split at the byte pair 0xC0 0x80, and a text in an
// ANSI code page can hold it: "À€" in 1252, "АЂ" in 1251, the one character
// "纮" in 936, or a double-byte character ending in 0xC0 before "€". Each
// character that holds the 0x80 of such a pair becomes one '?', so the text
// stays one field, cannot add groups of its own, and keeps everything else.
// (UTF-8 never holds the pair.) Works in place on a terminated text of
// length bytes; returns the new length.
size_t DropSeparatorPairs(char* text, size_t length) {
  size_t read = 0;
  size_t write = 0;
  while (read < length) {
    size_t size = CharSize(text + read);
    if (size == 0 || size > length - read) size = length - read;
    bool pairEndsHere = (text[read] == '\x80' && write > 0 && text[write - 1] == '\xC0') ||
                        (size == 2 && text[read] == '\xC0' && text[read + 1] == '\x80');
    if (pairEndsHere) {
      text[write++] = '?';
    } else {
      memmove(text + write, text + read, size);
      write += size;
    }
    read += size;
  }
  return write;
}

// Copies the text's first textLength bytes (a whole number of characters),
// in the record's encoding, shortened at a character boundary to at most
// maxBytes. Returns the bytes written, or -1.
int WriteText(const char* text, size_t textLength, const RecordOptions& options, char* out, size_t maxBytes) {
  const size_t fromText = textLength < maxBytes ? textLength : maxBytes;
  if (options.textEncoding == TextEncoding::kUtf8) {  // composed in UTF-8 already
    size_t length = FitUtf8(text, fromText);
    memcpy(out, text, length);
    return static_cast<int>(length);
  }
  if (options.utf8Text == 0) {
    size_t length = FitText(text, fromText);
    memcpy(out, text, length);
    out[length] = '\0';  // within the record: maxBytes leaves room for the groups and the zero
    return static_cast<int>(DropSeparatorPairs(out, length));
  }
  // A character's UTF-8 form is no shorter than its ANSI form (and at most
  // three bytes per ANSI byte), so a prefix of maxBytes ANSI bytes holds all
  // that can fit; the UTF-8 result is then cut to maxBytes itself.
  char ansi[kStatusRecordSize];
  if (maxBytes >= sizeof ansi) maxBytes = sizeof ansi - 1;
  size_t ansiLength = FitText(text, fromText < maxBytes ? fromText : maxBytes);
  memcpy(ansi, text, ansiLength);
  ansi[ansiLength] = '\0';

  char converted[3 * kStatusRecordSize + 1];
  int convertedLength = AnsiToUtf8(ansi, converted, sizeof converted);
  if (convertedLength < 0) return -1;
  size_t length = FitUtf8(converted, maxBytes);
  memcpy(out, converted, length);
  return static_cast<int>(length);
}

}  // namespace

int BuildStatusRecord(const char* text, const RecordOptions& options, char* record, size_t recordSize) {
  if (record == nullptr || recordSize == 0) return -1;
  record[0] = '\0';
  if (text == nullptr) return -1;

  char groups[kGroupsSize];
  size_t groupsLength = 0;
  if (!BuildGroups(options, groups, sizeof groups, &groupsLength)) return -1;
  if (groupsLength + 1 > recordSize) return -1;

  // The text gives way to the groups: it is shortened so that they and the
  // zero byte always fit, and so that its mark, after any conversion, still
  // ends it whole (a mark that cannot fit is just more text).
  const size_t room = recordSize - groupsLength - 1;
  const size_t fullLength = strlen(text);
  size_t markLength = options.markLength;
  if (markLength > fullLength || markLength > room) markLength = 0;
  const size_t bodyLength = fullLength - markLength;
  int textLength = WriteText(text, bodyLength, options, record, room - markLength);
  if (textLength < 0) {
    record[0] = '\0';
    return -1;
  }
  memcpy(record + textLength, text + bodyLength, markLength);
  textLength += static_cast<int>(markLength);
  memcpy(record + textLength, groups, groupsLength);
  size_t length = static_cast<size_t>(textLength) + groupsLength;
  record[length] = '\0';
  return static_cast<int>(length);
}
