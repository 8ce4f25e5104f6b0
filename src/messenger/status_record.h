// The messenger's custom-message record: the text, the optional status-icon
// group, the optional headphones group, a zero byte. Fields are separated by
// the two bytes 0xC0 0x80.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/text.h"

constexpr size_t kStatusRecordSize = 300;

struct RecordOptions {
  uint8_t utf8Text;  // the record carries UTF-8
  uint8_t statusIcon;
  uint8_t headphonesIcon;
  TextEncoding textEncoding = TextEncoding::kAnsi;  // of the text handed over; UTF-8 goes in as it is
  // The text's last markLength bytes are a mark (ASCII, such as " (paused)")
  // that ends the record's text whole: what comes before it is cut instead.
  size_t markLength = 0;
};

// Builds the record for text into record (recordSize bytes). The text, in
// UTF-8 when utf8Text is set, is shortened at a character boundary (before
// its mark) so that the groups and the zero byte always fit; nothing is written past
// record[recordSize - 1]. Returns the length without the zero byte, or -1
// (record an empty text) when the groups do not fit or the conversion fails.
int BuildStatusRecord(const char* text, const RecordOptions& options, char* record, size_t recordSize);
