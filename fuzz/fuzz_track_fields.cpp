// Ticks of the composer against a reference host and composer: every track
// field (position + 1, the length text, the bitrate from 126/1, the sample
// rate from 126/0, the list length, the title split, the bar's cell), the
// title and its cut, the expansion, the cut of the last text offered with the
// mark after it, and whether the text is offered; the tags, asked for when
// the template names them and the entry changed (the host's tags may change
// in between), as wide text first when the host knows it, none for a stream;
// an entry is its title and its position, and the file names asked on every
// tick while the template names a tag (the name the tags ask by; a new entry
// then refreshes every field) or the hide rules need one; $M from the
// playback state, $E from the position when the template names it and the
// host knows a length. The
// host's answers, the template, the mark and forgetting the last text change
// between ticks, in each modelled code page, with titles asked as ANSI or as
// wide text.
//
// Input: byte 0 the code page (its value mod 3: 1252, 932, 936), titles asked
// as wide text from 0x80; byte 1 the high 32 bits of every numeric answer;
// the template, to a zero byte; then the ticks. A tick: a control byte (bits
// 0-1 the ANSI title: keep, new, null, a non-address; bits 2-3 the wide
// title: keep, new, 0, a non-address; a non-address is 1 to 0xFFFF, from the
// list length's low bits; bits 4-5 the mark: none, " (paused)", " (stopped)",
// none and new tags; bit 6 forget the last text first; bit 7 a new template),
// six 32-bit little-endian numbers (playlist position, length in s, position
// in ms, sample rate, bitrate, list length), then as the control byte asks the
// new ANSI title (to a zero byte), the new wide title (UTF-16LE, to a zero
// unit), the new template (to a zero byte; an empty one is null) and the new
// tags: a byte of what the host knows (bit 0 request 214, bit 1 the tags for
// 3026; bit 2: it fills the buffer of a tag that long whole, without the
// zero; bits 3-4 the file names the hide rules need, FileNameNeeds), the file
// name and the four tags (each to a zero byte; 214 and 3026 give their bytes
// widened, 211 and 290 always answer).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "composer/status_composer.h"
#include "platform/text_portable.h"
#include "reference.h"

namespace {

using ref::Check;

const char* const kTagNames[4] = {"album", "year", "genre", "track"};

// The host: what it answers for this tick.
struct Host {
  int32_t numbers[6];  // position, length, position in ms, sample rate, bitrate, list length
  intptr_t highBits;
  intptr_t title;      // request 212: an address, or a value below any address
  intptr_t wideTitle;  // request 213
  bool wide;           // asked only with wide titles on
  uint8_t knows;       // the wide requests it answers: bits as in the input
  std::string fileName;
  std::string tags[4];
  void* nameAnswer;    // the last file name answered, gone at the next query
} g_host;

intptr_t Number(int i) { return static_cast<intptr_t>(g_host.numbers[i]) + g_host.highBits; }

template <typename Text>
void* Copy(const Text& text);

// Each byte as a unit of its own, and back: the host's wide texts.
std::u16string Widened(const std::string& bytes) { return std::u16string(bytes.begin(), bytes.end()); }
template <typename Unit>
std::string Bytes(const Unit* text) {
  std::string bytes;
  for (; *text != 0; ++text) bytes += static_cast<char>(*text);
  return bytes;
}

// A tag request names the file the host gave and one of the four tags; the
// host fills at most retlen units, its zero included (a careless one all
// retlen with the tag's own units), or answers 1 unfilled.
template <typename Request>
intptr_t AnswerTag(const Request& request, bool fills) {
  Check(Bytes(request.filename) == g_host.fileName);
  const std::string metadata = Bytes(request.metadata);
  int tag = 0;
  while (tag < 4 && metadata != kTagNames[tag]) ++tag;
  Check(tag < 4);
  if (fills && (g_host.knows & 4) && g_host.tags[tag].size() >= request.retlen) {
    std::copy(g_host.tags[tag].begin(), g_host.tags[tag].begin() + request.retlen, request.ret);
    return 1;
  }
  const std::string text = fills ? g_host.tags[tag].substr(0, request.retlen - 1) : "";
  if (fills) std::copy(text.begin(), text.end(), request.ret), request.ret[text.size()] = 0;
  return 1;
}

// A file name, valid until the next query.
intptr_t AnswerName(bool wide, intptr_t wParam) {
  Check(wParam == g_host.numbers[0]);
  if (wide && !(g_host.knows & 1)) return 1;
  g_host.nameAnswer = wide ? Copy(Widened(g_host.fileName)) : Copy(g_host.fileName);
  return reinterpret_cast<intptr_t>(g_host.nameAnswer);
}

// Only the requests the composer needs, the titles for the current entry.
intptr_t HostQuery(intptr_t wParam, intptr_t request) {
  free(g_host.nameAnswer);
  g_host.nameAnswer = nullptr;
  switch (request) {
    case kRequestEntryFileName: return AnswerName(false, wParam);
    case kRequestEntryWideFileName: return AnswerName(true, wParam);
    case kRequestFileTag:
      return AnswerTag(*reinterpret_cast<const FileTagRequest*>(wParam), true);
    case kRequestWideFileTag: return AnswerTag(*reinterpret_cast<const WideFileTagRequest*>(wParam), g_host.knows & 2);
    case kRequestPlaylistPosition: return Number(0);
    case kRequestEntryTitle: Check(wParam == g_host.numbers[0]); return g_host.title;
    case kRequestEntryWideTitle: Check(g_host.wide && wParam == g_host.numbers[0]); return g_host.wideTitle;
    case kRequestPlaybackTime: Check(wParam == 0 || wParam == 1); return Number(wParam == 1 ? 1 : 2);
    case kRequestStreamInfo: Check(wParam == 0 || wParam == 1); return Number(wParam == 1 ? 4 : 3);
    case kRequestPlaylistLength: return Number(5);
    default: Check(false); return 0;
  }
}

// What the composer should hold after each tick.
struct Model {
  unsigned titleEncoding;  // a code page, or ref::kUtf8
  std::string lastTitle;
  bool hasTitlePart = false;
  std::string values[ref::kTokens];  // $A $T $I $D $B $S $L $P $R $Y $G $N $M $E
  unsigned offeredEncoding;
  std::string lastOffered;
  unsigned tagsKnown = 0;
  uint32_t entryCount = 0;
  int32_t entryPosition = 0;
  // The entry's file name in each form (214, 211), as the plug-in keeps it.
  struct Name {
    bool asked = false, known = false;  // for this entry; known when it fits
    std::string bytes;
  } wideName, ansiName;
};

// The host's file name asked for the entry in one form; true when it is not
// the one kept. One that does not fit is none, the same as none before in
// that form.
bool ModelAskName(Model::Name* kept) {
  const bool fits = g_host.fileName.size() < kFileNameSize;
  const bool same = kept->known ? fits && kept->bytes == g_host.fileName : !fits;
  *kept = {true, fits, fits ? g_host.fileName : ""};
  return !same;
}

// The tags a refresh that asks for those in `ask` gets from the host, by the
// names kept (the ANSI one asked for when a tag first needs it).
void ModelTags(unsigned codePage, bool utf8, unsigned ask, Model* model) {
  for (int i = 0; i < 4; ++i)
    if (ask & (1u << i)) model->values[8 + i].clear();
  const bool wide = model->wideName.known;
  if (wide && ref::IsStream(model->wideName.bytes)) return;
  for (int i = 0; i < 4; ++i) {
    std::string& value = model->values[8 + i];
    if (!(ask & (1u << i))) continue;
    if (wide && (g_host.knows & 2)) value = ref::Utf16ToUtf8(Widened(g_host.tags[i].substr(0, kTagSize - 1)), kTagSize - 1);
    if (!value.empty()) continue;
    if (!model->ansiName.asked) ModelAskName(&model->ansiName);
    if (model->ansiName.known && ref::IsStream(model->ansiName.bytes)) return;
    if (!model->ansiName.known) continue;
    const std::string tag = g_host.tags[i].substr(0, kTagSize - 1);
    value = utf8 ? ref::Fit(ref::kUtf8, ref::AnsiToUtf8(codePage, tag), kTagSize - 1) : tag;
  }
}

// One tick of the model; returns whether a text is offered.
bool ModelTick(unsigned codePage, const std::string& ansiTitle, const std::u16string* wideTitle,
               const std::string* format, const std::string& mark, unsigned tokens, unsigned names, Model* model) {
  const int32_t* n = g_host.numbers;
  const unsigned tags = tokens & 15;
  unsigned encoding = codePage;
  std::string title = static_cast<uintptr_t>(g_host.title) >= kLowestAddress ? ansiTitle : "";
  if (wideTitle != nullptr && static_cast<uintptr_t>(g_host.wideTitle) >= kLowestAddress) {
    encoding = ref::kUtf8;
    title = ref::Utf16ToUtf8(*wideTitle, 4 * kTitleSize - 1);
  }
  if (title.find("Prebuffering : ") != std::string::npos || title.find("[Buffer: ") != std::string::npos)
    title = "[Buffering...]";
  title = ref::Fit(encoding, title, kTitleSize - 1);
  const bool newTitle = encoding != model->titleEncoding || title != model->lastTitle;
  bool newEntry = newTitle || n[0] != model->entryPosition;
  // The name as the tags ask it: wide for a UTF-8 entry when the host knows it.
  Model::Name* const tagsName = encoding == ref::kUtf8 && (g_host.knows & 1) ? &model->wideName : &model->ansiName;
  const unsigned needs = names | (tags != 0 ? kNeedsFileName : 0);
  const bool askTagsName = (needs & kNeedsFileName) != 0;
  const bool askAnsi = (needs & kNeedsAnsiFileName) != 0 || (askTagsName && tagsName == &model->ansiName);
  if (askTagsName) newEntry = ModelAskName(tagsName) || newEntry;
  if (askAnsi && !(askTagsName && tagsName == &model->ansiName)) newEntry = ModelAskName(&model->ansiName) || newEntry;
  if (newTitle || (tags != 0 && newEntry)) {
    model->titleEncoding = encoding;
    model->lastTitle = title;
    ref::Split split = ref::SplitTitle(title);
    model->values[0] = split.artist;
    model->values[1] = split.title;
    model->hasTitlePart = split.hasTitle;
    model->values[2] = ref::Printed("%lld", n[0] + 1LL);
    model->values[3] = ref::LengthText(n[1]);
    model->values[4] = ref::Printed("%lldkbps", n[4]);
    model->values[5] = ref::Printed("%lldkHz", n[3]);
    model->values[6] = ref::Printed("%lld", n[5]);
  }
  if (newEntry) {
    ++model->entryCount;
    model->entryPosition = n[0];
    model->tagsKnown = 0;
    if (!(askTagsName && tagsName == &model->wideName)) model->wideName = {};
    if (!askAnsi) model->ansiName = {};
  }
  ModelTags(codePage, encoding == ref::kUtf8, tags & ~model->tagsKnown, model);
  model->tagsKnown |= tags;
  model->values[7] = ref::Bar(n[1], n[2]);
  model->values[12] = (n[3] & 3) == 3 ? "paused" : (n[3] & 3) == 0 ? "stopped" : "";
  model->values[13] = (tokens & kElapsedToken) && n[1] >= 1 && n[2] >= 0 ? ref::LengthText(n[2] / 1000) : "";

  const std::string expanded = ref::Expand(encoding, format != nullptr ? *format : "", model->values);
  const std::string text = ref::Fit(encoding, expanded, kLastTextSize - 1 - mark.size()) + mark;
  if (encoding == model->offeredEncoding && text == model->lastOffered) return false;
  model->offeredEncoding = encoding;
  model->lastOffered = text;
  return true;
}

bool Holds(const char* text, size_t size, const std::string& expected) {
  return strnlen(text, size) < size && text == expected;
}

void CheckFields(const TrackFields& fields, const Model& model) {
  Check((fields.encoding == TextEncoding::kUtf8) == (model.titleEncoding == ref::kUtf8));
  Check(Holds(fields.lastTitle, kTitleSize, model.lastTitle));
  Check(Holds(fields.songText, kTitleSize, model.values[0]));
  Check((fields.titlePart != nullptr) == model.hasTitlePart);
  if (fields.titlePart != nullptr) {
    Check(fields.titlePart >= fields.songText && fields.titlePart < fields.songText + kTitleSize);
    Check(Holds(fields.titlePart, fields.songText + kTitleSize - fields.titlePart, model.values[1]));
  }
  const char* numbers[5] = {fields.positionText, fields.lengthText, fields.bitrateText, fields.sampleRateText,
                            fields.listLengthText};
  for (int i = 0; i < 5; ++i) Check(Holds(numbers[i], kNumberTextSize, model.values[2 + i]));
  Check(Holds(fields.progressText, kProgressTextSize, model.values[7]));
  Check(Holds(fields.stateText, kNumberTextSize, model.values[12]));
  Check(Holds(fields.elapsedText, kNumberTextSize, model.values[13]));
  for (int i = 0; i < 4; ++i) Check(Holds(fields.tagTexts[i], kTagSize, model.values[8 + i]));
  Check(fields.entryCount == model.entryCount);
  Check(((fields.fileNamesKnown & kWideFileName) != 0) == model.wideName.known);
  Check(((fields.fileNamesKnown & kAnsiFileName) != 0) == model.ansiName.known);
  if (model.wideName.known) Check(Bytes(fields.wideFileName) == model.wideName.bytes);
  if (model.ansiName.known) Check(Holds(fields.fileName, kFileNameSize, model.ansiName.bytes));
}

// A host that does not know a request may answer any small value: 1 to 0xFFFF.
intptr_t NonAddress() { return 1 + (static_cast<uint32_t>(g_host.numbers[5]) & 0xFFFE); }

// An exact-size heap copy, so ASan sees a read past the host's text.
template <typename Text>
void* Copy(const Text& text) {
  size_t bytes = (text.size() + 1) * sizeof text[0];
  void* copy = malloc(bytes);
  memcpy(copy, text.c_str(), bytes);
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ref::Input input(data, size);
  const uint8_t mode = input.Byte();
  const unsigned codePage = ref::PickCodePage(mode);
  const bool wide = mode >= 0x80;
  SetModelCodePage(codePage);
  g_host = {};
  g_host.wide = wide;
  g_host.highBits = static_cast<intptr_t>(uint64_t{input.Byte()} << 32);
  std::string format;
  input.Text(&format);
  bool nullFormat = false;

  StatusComposer* composer = static_cast<StatusComposer*>(calloc(1, sizeof(StatusComposer)));
  Model model;
  model.titleEncoding = model.offeredEncoding = codePage;
  std::string ansiTitle;
  std::u16string wideTitle;
  void* ansiCopy = nullptr;
  void* wideCopy = nullptr;
  g_host.wideTitle = 1;
  static const char* const kMarks[4] = {"", " (paused)", " (stopped)", ""};
  g_host.knows = 3;

  for (int tick = 0; tick < 16 && input.Left() > 0; ++tick) {
    const uint8_t control = input.Byte();
    for (int32_t& number : g_host.numbers) number = input.Int32();
    switch (control & 3) {
      case 1:
        input.Text(&ansiTitle);
        free(ansiCopy);
        ansiCopy = Copy(ansiTitle);
        g_host.title = reinterpret_cast<intptr_t>(ansiCopy);
        break;
      case 2: g_host.title = 0; break;
      case 3: g_host.title = NonAddress(); break;
      default: break;
    }
    switch (control >> 2 & 3) {
      case 1:
        wideTitle = input.Utf16();
        free(wideCopy);
        wideCopy = Copy(wideTitle);
        g_host.wideTitle = reinterpret_cast<intptr_t>(wideCopy);
        break;
      case 2: g_host.wideTitle = 0; break;
      case 3: g_host.wideTitle = NonAddress(); break;
      default: break;
    }
    if (control & 0x80) {
      input.Text(&format);
      nullFormat = format.empty();
      RecomposeNextTick(composer);  // as a Save does
    }
    if ((control & 0x30) == 0x30) {
      g_host.knows = input.Byte();
      input.Text(&g_host.fileName);
      for (std::string& tag : g_host.tags) input.Text(&tag);
    }
    const std::string mark = kMarks[control >> 4 & 3];
    if (control & 0x40) {
      ForgetLastTextOffered(composer);
      model.lastOffered.clear();
    }

    // The template as the plug-in keeps it for each encoding, and the tags
    // it names (a byte search may name more: they are asked for, not shown).
    const std::string utf8Format = ref::AnsiToUtf8(codePage, format);
    unsigned tokens = 0;
    for (int i = 0; i < 6; ++i) tokens |= format.find(std::string("$") + "RYGNME"[i]) != std::string::npos ? 1u << i : 0;
    const uint8_t names = g_host.knows >> 3 & 3;
    const int32_t state = g_host.numbers[3] & 3;  // the playback state: the sample rate's low bits
    SetPlaybackState(state, &composer->fields);
    RefreshTrackFields(HostQuery, wide, static_cast<uint8_t>(tokens), names, &composer->fields);
    const bool inUtf8 = composer->fields.encoding == TextEncoding::kUtf8;
    const char* tickFormat = nullFormat ? nullptr : inUtf8 ? utf8Format.c_str() : format.c_str();
    const char* offered = ComposeStatus(tickFormat, mark.empty() ? nullptr : mark.c_str(), composer);

    const std::string& modelFormat = inUtf8 ? utf8Format : format;
    bool expectOffered = ModelTick(codePage, ansiTitle, wide ? &wideTitle : nullptr,
                                   nullFormat ? nullptr : &modelFormat, mark, tokens, names, &model);
    CheckFields(composer->fields, model);
    Check(offered == (expectOffered ? composer->lastTextOffered : nullptr));
    Check(Holds(composer->lastTextOffered, kLastTextSize, model.lastOffered));
  }
  free(ansiCopy);
  free(wideCopy);
  free(g_host.nameAnswer);
  free(composer);
  return 0;
}
