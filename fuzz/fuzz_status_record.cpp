// Arbitrary text and options into BuildStatusRecord: the record stays inside
// its 300 bytes, ends in the groups the options ask for, and its text is the
// longest fitting prefix of the (converted) input.
//
// Input: byte 0 the code page model (bit 0: 932), byte 1 utf8Text, byte 2
// statusIcon, byte 3 headphonesIcon, then the text (up to its first zero).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "messenger/status_record.h"
#include "platform/text.h"
#include "platform/text_portable.h"

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

std::string Groups(const RecordOptions& options) {
  const std::string sep = "\xC0\x80";
  std::string groups;
  if (options.statusIcon != 0) groups += sep + "47" + sep + std::to_string(options.statusIcon);
  if (options.headphonesIcon != 0) {
    groups += sep + "184" + sep + "YSTATUS=2\tu\t0\ts\t0\tp\t1\tm\t59\td\t0" + sep + "187" + sep + "2";
  }
  return groups;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  SetModelCodePage((data[0] & 1) != 0 ? 932 : 1252);
  RecordOptions options = {data[1], data[2], data[3]};
  std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
  text = text.c_str();  // up to the first zero byte

  // Exactly the record's size on the heap, so ASan sees any write past it.
  char* record = static_cast<char*>(malloc(kStatusRecordSize));
  int length = BuildStatusRecord(text.c_str(), options, record, kStatusRecordSize);
  std::string groups = Groups(options);
  if (length < 0) {
    Check(record[0] == '\0');
    free(record);
    return 0;
  }
  Check(static_cast<size_t>(length) < kStatusRecordSize);
  Check(record[length] == '\0');
  Check(static_cast<size_t>(length) >= groups.size());
  Check(memcmp(record + length - groups.size(), groups.data(), groups.size()) == 0);

  // The text part is a prefix of the whole text in the record's encoding.
  size_t textLength = static_cast<size_t>(length) - groups.size();
  std::string whole = text;
  if (options.utf8Text != 0) {
    std::string converted(4 * text.size() + 1, '\0');
    int convertedLength = AnsiToUtf8(text.c_str(), &converted[0], converted.size());
    Check(convertedLength >= 0);
    whole = converted.substr(0, static_cast<size_t>(convertedLength));
  }
  Check(textLength <= whole.size());
  Check(memcmp(record, whole.data(), textLength) == 0);
  // A shortened text was cut no earlier than one character before the bound.
  size_t budget = kStatusRecordSize - 1 - groups.size();
  if (textLength < whole.size()) Check(textLength + (options.utf8Text != 0 ? 3 : 1) >= budget);
  free(record);
  return 0;
}
