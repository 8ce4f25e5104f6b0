// The entry's tags ($R $Y $G $N), asked for by file name. Reading tags can
// touch the disk, so the refresh asks only for the tags the template uses,
// once per entry, and never for a stream.
#include <string.h>

#include "composer/track_fields.h"
#include "platform/text.h"

// Room for a file name and its zero; a longer one is not used (a cut name
// would name another file).
constexpr size_t kFileNameSize = 1024;

static const char* const kTagNames[kTagCount] = {"album", "year", "genre", "track"};
static const char16_t* const kWideTagNames[kTagCount] = {u"album", u"year", u"genre", u"track"};

// A stream's decoder may go to the network to read tags.
template <typename Unit>
static bool IsStream(const Unit* name) {
  for (; name[0] != 0; ++name)
    if (name[0] == ':' && name[1] == '/' && name[2] == '/') return true;
  return false;
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
// again in ANSI. The ANSI file name is asked for only when needed.
void RefreshTrackTags(HostQueryFn query, int32_t position, uint8_t tags, TrackFields* fields) {
  fields->tagsKnown |= tags;
  fields->changed = true;
  for (int i = 0; i < kTagCount; ++i)
    if (tags & (1 << i)) fields->tagTexts[i][0] = '\0';

  const bool utf8 = fields->encoding == TextEncoding::kUtf8;
  uint16_t wideName[kFileNameSize];
  bool haveWideName = false;
  if (utf8) {
    haveWideName = CopyHostText(query(position, kRequestEntryWideFileName), wideName, kFileNameSize);
    if (haveWideName && IsStream(wideName)) return;
  }
  char name[kFileNameSize];
  bool askedName = false;
  bool haveName = false;
  for (int i = 0; i < kTagCount; ++i) {
    if (!(tags & (1 << i))) continue;
    char* out = fields->tagTexts[i];
    if (haveWideName) {
      uint16_t wideTag[kTagSize];
      AskWideTag(query, wideName, i, wideTag, kTagSize);
      Utf16ToUtf8(wideTag, out, kTagSize);
      if (out[0] != '\0') continue;
    }
    if (!askedName) {
      askedName = true;
      haveName = CopyHostText(query(position, kRequestEntryFileName), name, kFileNameSize);
      if (haveName && IsStream(name)) return;
    }
    if (!haveName) continue;
    char tag[kTagSize];
    AskTag(query, name, i, tag, kTagSize);
    TakeAnsiTag(tag, fields->encoding, out);
  }
}
