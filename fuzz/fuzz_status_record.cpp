// Arbitrary texts, options and record sizes into BuildStatusRecord: the
// record is exactly the reference one, the longest text that fits on a
// character boundary (ANSI, converted to UTF-8, or composed in UTF-8), the
// mark after it whole when one fits, then the groups the options ask for, and
// nothing is written past its size.
//
// Input: byte 0 the code page (its value mod 3: 1252, 932, 936), a text
// composed in UTF-8 from 0x80, and in bits 4-5 the mark that ends the text:
// none, " (paused)", " (stopped)", none; bytes 1-3 utf8Text, statusIcon and
// headphonesIcon as stored; byte 4 the record's size (0: 300, else the byte
// less one); then the text, to a zero byte.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "messenger/status_record.h"
#include "platform/text_portable.h"
#include "reference.h"

namespace {

const std::string kSep = "\xC0\x80";

std::string Groups(const RecordOptions& options) {
  std::string groups;
  if (options.statusIcon != 0) groups += kSep + "47" + kSep + std::to_string(options.statusIcon);
  if (options.headphonesIcon != 0)
    groups += kSep + "184" + kSep + "YSTATUS=2\tu\t0\ts\t0\tp\t1\tm\t59\td\t0" + kSep + "187" + kSep + "2";
  return groups;
}

// The text may not hold the separator pair: a character that would complete
// one, with itself or with the byte before it, becomes '?'.
std::string WithoutSeparators(unsigned codePage, const std::string& text) {
  std::string out;
  std::vector<size_t> starts = ref::Starts(codePage, text);
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    std::string character = text.substr(starts[i], starts[i + 1] - starts[i]);
    std::string joined = (out.empty() ? "" : out.substr(out.size() - 1)) + character;
    out += joined.find(kSep) != std::string::npos ? "?" : character;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ref::Input input(data, size);
  const uint8_t mode = input.Byte();
  const unsigned codePage = ref::PickCodePage(mode);
  SetModelCodePage(codePage);
  RecordOptions options = {};
  options.utf8Text = input.Byte();
  options.statusIcon = input.Byte();
  options.headphonesIcon = input.Byte();
  options.textEncoding = mode >= 0x80 ? TextEncoding::kUtf8 : TextEncoding::kAnsi;
  const uint8_t sizeByte = input.Byte();
  const size_t recordSize = sizeByte == 0 ? kStatusRecordSize : sizeByte - 1u;
  std::string text;
  input.Text(&text);
  if (options.textEncoding == TextEncoding::kUtf8) text = ref::WholeUtf8(text);
  const char* const marks[4] = {"", " (paused)", " (stopped)", ""};
  const std::string mark = marks[(mode >> 4) & 3];
  options.markLength = mark.size();

  // Exactly the record's size on the heap, so ASan sees any write past it.
  char* record = static_cast<char*>(malloc(recordSize));
  const int length = BuildStatusRecord((text + mark).c_str(), options, record, recordSize);
  const std::string groups = Groups(options);
  if (groups.size() + 1 > recordSize) {
    ref::Check(length == -1 && (recordSize == 0 || record[0] == '\0'));
    free(record);
    return 0;
  }
  size_t budget = recordSize - 1 - groups.size();
  // The text before the mark is cut on a character boundary of the whole
  // text, never reaching into the mark; a mark that does not fit is cut like
  // the text it ends.
  const std::string whole = text + mark;
  std::string tail = mark.size() <= budget ? mark : "";
  budget -= tail.size();
  const size_t before = whole.size() - tail.size();
  const size_t ansiBudget = before < budget ? before : budget;
  std::string expected;
  if (options.textEncoding == TextEncoding::kUtf8) {
    expected = ref::Fit(ref::kUtf8, whole, ansiBudget);
  } else if (options.utf8Text != 0) {
    expected = ref::Fit(ref::kUtf8, ref::AnsiToUtf8(codePage, ref::Fit(codePage, whole, ansiBudget)), budget);
  } else {
    expected = WithoutSeparators(codePage, ref::Fit(codePage, whole, ansiBudget));
  }
  expected += tail + groups;
  ref::Check(length == static_cast<int>(expected.size()));
  ref::Check(std::string(record, expected.size() + 1) == expected + '\0');
  free(record);
  return 0;
}
