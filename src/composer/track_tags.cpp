// The entry's file names, and its tags ($R $Y $G $N) asked for by them.
// Reading tags can touch the disk, so the refresh asks only for the tags the
// template uses, once per entry, and never for a stream.
#include <string.h>

#include "common/host_text.h"
#include "composer/hidden_entries.h"
#include "composer/track_fields.h"
#include "platform/text.h"

static const char* const kTagNames[kTagCount] = {"album", "year", "genre", "track"};
static const char16_t* const kWideTagNames[kTagCount] = {u"album", u"year", u"genre", u"track"};

// Whether the host's text at answer is the name kept, unit for unit; reads
// no further than the kept name's length.
template <typename Unit>
static bool IsKeptName(intptr_t answer, const Unit* kept) {
  const Unit* name = reinterpret_cast<const Unit*>(answer);
  size_t i = 0;
  while (kept[i] != 0 && name[i] == kept[i]) ++i;
  return name[i] == kept[i];
}

template <typename Unit>
static bool KeepName(intptr_t answer, FileNameBits form, Unit* kept, TrackFields* fields) {
  const uint8_t knownBefore = fields->fileNamesKnown;
  fields->fileNamesAsked |= form;
  if ((knownBefore & form) != 0 && IsHostAddress(answer) && IsKeptName(answer, kept)) return false;
  const bool fits = CopyHostText(answer, kept, kFileNameSize);
  if (fits) fields->fileNamesKnown |= form;
  else fields->fileNamesKnown &= ~form;
  // A name that does not fit, in this form, after none that did, is no change:
  // else a long wide name beside a short ANSI one made every tick a new entry.
  return fits || (knownBefore & form) != 0;
}

static bool KeepFileName(intptr_t answer, FileNameBits form, TrackFields* fields) {
  if (form == kWideFileName) return KeepName(answer, form, fields->wideFileName, fields);
  return KeepName(answer, form, fields->fileName, fields);
}

// As wide text for UTF-8 fields, else (and from a host that does not know
// that request) in ANSI. Returns the form it came in.
static FileNameBits AskFileName(HostQueryFn query, int32_t position, TextEncoding encoding, TrackFields* fields,
                                bool* changed) {
  if (encoding == TextEncoding::kUtf8) {
    const intptr_t answer = query(position, kRequestEntryWideFileName);
    if (IsHostAddress(answer)) {
      *changed = KeepFileName(answer, kWideFileName, fields);
      return kWideFileName;
    }
  }
  *changed = KeepFileName(query(position, kRequestEntryFileName), kAnsiFileName, fields);
  return kAnsiFileName;
}

uint8_t AskFileNames(HostQueryFn query, int32_t position, TextEncoding encoding, uint8_t needs, TrackFields* fields,
                     bool* changed) {
  *changed = false;
  uint8_t asked = 0;
  if ((needs & kNeedsFileName) != 0) asked = AskFileName(query, position, encoding, fields, changed);
  if ((needs & kNeedsAnsiFileName) != 0 && (asked & kAnsiFileName) == 0) {
    const bool ansiChanged = KeepFileName(query(position, kRequestEntryFileName), kAnsiFileName, fields);
    *changed = *changed || ansiChanged;
    asked |= kAnsiFileName;
  }
  return asked;
}

// The host may answer 1 without writing anything, and a careless one may
// fill the buffer without its zero: ret starts empty and ends with a zero.
static void AskTag(HostQueryFn query, const char* fileName, int tag, char* ret, size_t size) {
  ret[0] = '\0';
  FileTagRequest request = {fileName, kTagNames[tag], ret, size};
  query(reinterpret_cast<intptr_t>(&request), kRequestFileTag);
  ret[size - 1] = '\0';
}

static void AskWideTag(HostQueryFn query, const uint16_t* fileName, int tag, uint16_t* ret, size_t size) {
  ret[0] = 0;
  const uint16_t* name = reinterpret_cast<const uint16_t*>(kWideTagNames[tag]);
  WideFileTagRequest request = {fileName, name, ret, size};
  query(reinterpret_cast<intptr_t>(&request), kRequestWideFileTag);
  ret[size - 1] = 0;
}

// An ANSI tag into out (kTagSize) in the fields' encoding.
static void TakeAnsiTag(const char* tag, TextEncoding encoding, char* out) {
  char converted[3 * kTagSize];
  if (encoding == TextEncoding::kUtf8) {
    if (AnsiToUtf8(tag, converted, sizeof converted) < 0) return;
    tag = converted;
  }
  size_t length = FitTextIn(encoding, tag, kTagSize - 1);
  memcpy(out, tag, length);
  out[length] = '\0';
}

// In UTF-8 each tag is asked for as wide text first; one the wide request
// leaves empty (a host that does not know it, or has no such tag) is asked
// again in ANSI. The ANSI file name is asked for once per entry, and only
// when needed.
void RefreshTrackTags(HostQueryFn query, int32_t position, uint8_t tags, TrackFields* fields) {
  fields->tagsKnown |= tags;
  fields->changed = true;
  for (int i = 0; i < kTagCount; ++i)
    if (tags & (1 << i)) fields->tagTexts[i][0] = '\0';

  // A stream's decoder may go to the network to read tags; an audio CD's
  // track has them from the player's CD database.
  const bool haveWideName = (fields->fileNamesKnown & kWideFileName) != 0;
  if (haveWideName && IsStream(fields->wideFileName)) return;
  for (int i = 0; i < kTagCount; ++i) {
    if (!(tags & (1 << i))) continue;
    char* out = fields->tagTexts[i];
    if (haveWideName) {
      uint16_t wideTag[kTagSize];
      AskWideTag(query, fields->wideFileName, i, wideTag, kTagSize);
      Utf16ToUtf8(wideTag, out, kTagSize);
      if (out[0] != '\0') continue;
    }
    if (!(fields->fileNamesAsked & kAnsiFileName))
      KeepFileName(query(position, kRequestEntryFileName), kAnsiFileName, fields);
    const bool haveName = (fields->fileNamesKnown & kAnsiFileName) != 0;
    if (haveName && IsStream(fields->fileName)) return;
    if (!haveName) continue;
    char tag[kTagSize];
    AskTag(query, fields->fileName, i, tag, kTagSize);
    TakeAnsiTag(tag, fields->encoding, out);
  }
}
