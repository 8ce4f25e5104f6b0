// One tick on the host's UI thread: ask the host what is playing, compose the
// status, and leave a changed one for the hand-over thread. The settings
// dialog's preview asks, judges and composes with the same code, for the
// settings in its controls.
#include "host/timer_tick.h"

#include <string.h>

#include "composer/hidden_entries.h"
#include "host/host_query.h"
#include "host/lifecycle.h"

// How long a tick waits for the hand-over thread: a responsive messenger has
// the status before the tick returns (in a few milliseconds); a busy one gets
// the newest status once it answers again, and the player goes on meanwhile,
// waiting no more while the messenger is still busy with an earlier status.
constexpr DWORD kHandOverWaitMs = 50;

// The host's answers are waits that may let this thread's messages run, and
// so dispatch the next timer expiry; that tick must not run inside this one.
static bool g_tickRunning = false;

// What a tick learns from the host besides the track fields.
struct HostReading {
  int32_t playbackState;  // 1 playing, 3 paused, 0 stopped (any other answer plays); 1 when not asked
  bool videoPlaying;      // 501 answered above 1 (1 is an older host that cannot tell)
};

// Why nothing new may be published for the current entry, or kShow.
enum class Verdict : uint8_t { kShow, kPaused, kStopped, kStream, kPathWord, kVideo, kAddress };

// The preview's own reading and composer, so that the running plug-in's last
// text, its entry's timing and its hand-over stay as they are.
static struct {
  StatusComposer composer;
  HostReading reading;
  char utf8Format[kExpansionHalfSize];
} g_preview;

// The tick's questions to the host. A stop inside one of them ends the tick's
// business with the host: the rest are answered 0 without asking.
static intptr_t AskWhileRunning(intptr_t wParam, intptr_t request) {
  return g_running.started ? QueryHost(wParam, request) : 0;
}

// While nothing may show, the messenger's status goes once (the closing
// command); the current text goes out again as soon as something may.
static void ClearStatusOnce() {
  if (g_running.statusCleared) return;
  g_running.statusCleared = true;
  ForgetLastTextOffered(&g_running.composer);
  if (g_running.handOver.PostClear()) g_running.handOver.WaitUntilHandedOver(kHandOverWaitMs);
}

// The file names the rules read, asked on every tick while one is on.
static uint8_t FileNamesForRules(const PluginSettings& settings) {
  return ((settings.hideFlags & kHideStreams) != 0 ? kNeedsFileName : 0) |
         (settings.hiddenPathWords[0] != '\0' ? kNeedsAnsiFileName : 0);
}

static bool NotPlaying(int32_t state) { return state == 3 || state == 0; }

// Each question is asked only when the settings or the template need its
// answer, so that by default a tick makes exactly the queries it always made;
// one that finds playback paused or stopped while that clears the status asks
// nothing more.
static void AskHost(const PluginSettings& settings, uint8_t tokens, uint8_t names, TrackFields* fields,
                    HostReading* reading) {
  reading->playbackState = 1;
  reading->videoPlaying = false;
  if (settings.whenNotPlaying != kKeepStatus || (tokens & kStateToken) != 0) {
    reading->playbackState = static_cast<int32_t>(AskWhileRunning(0, kRequestPlaybackState));
    SetPlaybackState(reading->playbackState, fields);
    if (settings.whenNotPlaying == kClearStatus && NotPlaying(reading->playbackState)) return;
  }
  RefreshTrackFields(AskWhileRunning, settings.utf8Text != 0, tokens, names, fields);
  if ((settings.hideFlags & kHideVideos) != 0)
    reading->videoPlaying = static_cast<int32_t>(AskWhileRunning(0, kRequestPlayingVideo)) > 1;
}

// What the user keeps to themselves, by the rules they set, and what is no
// song: playback paused or stopped while that clears the status, a stream, a
// file whose path holds one of their words (*word), a video while it plays,
// and a stream's address standing as its title.
static Verdict Judge(const PluginSettings& settings, const TrackFields& fields, const HostReading& reading,
                     const char** word = nullptr, size_t* wordLength = nullptr) {
  if (settings.whenNotPlaying == kClearStatus && NotPlaying(reading.playbackState))
    return reading.playbackState == 3 ? Verdict::kPaused : Verdict::kStopped;
  const bool wide = (fields.fileNamesKnown & kWideFileName) != 0, ansi = (fields.fileNamesKnown & kAnsiFileName) != 0;
  if ((settings.hideFlags & kHideStreams) != 0 &&
      (wide ? IsStream(fields.wideFileName) : ansi && IsStream(fields.fileName)))
    return Verdict::kStream;
  if (settings.hiddenPathWords[0] != '\0' && ansi &&
      PathHasHiddenWord(fields.fileName, settings.hiddenPathWords, word, wordLength))
    return Verdict::kPathWord;
  if (reading.videoPlaying) return Verdict::kVideo;
  if (IsAddress(fields.lastTitle)) return Verdict::kAddress;
  return Verdict::kShow;
}

// " (paused)" or " (stopped)" with "Mark status", else null.
static const char* MarkFor(const PluginSettings& settings, const HostReading& reading) {
  if (settings.whenNotPlaying != kMarkStatus) return nullptr;
  return reading.playbackState == 3 ? " (paused)" : reading.playbackState == 0 ? " (stopped)" : nullptr;
}

// Whether the current entry has been current long enough to show, counted
// by the ticks' own clock from the first tick that saw it (a seek does not
// shorten the wait); a skipped song never shows, the status before it stays.
static bool ShownLongEnough(const TrackFields& fields, DWORD nowMs) {
  if (!g_running.entryTimed || g_running.timedEntry != fields.entryCount) {
    g_running.entryTimed = true;
    g_running.timedEntry = fields.entryCount;
    g_running.timedEntrySinceMs = nowMs;
  }
  return nowMs - g_running.timedEntrySinceMs >= g_running.settings.newSongDelaySeconds * 1000u;
}

static void RunTick(DWORD nowMs) {
  StatusComposer& composer = g_running.composer;
  const PluginSettings& settings = g_running.settings;
  // The last status or clear did not reach the messenger (it was not
  // ready), or nothing says it did (it may still apply it late): offer it
  // again rather than leave a stale status standing.
  if (g_running.handOver.TakeNotApplied()) {
    ForgetLastTextOffered(&composer);
    g_running.statusCleared = false;
  }
  const uint8_t tokens = g_running.namedTokens;
  const uint8_t names = FileNamesForRules(settings);
  HostReading reading;
  AskHost(settings, tokens, names, &composer.fields, &reading);
  // A stop inside those queries ends the tick; a Save whose template names a
  // placeholder, or whose rules read a file name, not asked for leaves it to
  // the next tick, which asks: the entry may be one the new rules hide.
  if (!g_running.started || (g_running.namedTokens & ~tokens) != 0 || (FileNamesForRules(settings) & ~names) != 0)
    return;
  const Verdict verdict = Judge(settings, composer.fields, reading);
  if (verdict == Verdict::kAddress) return;  // no song yet: the status before it stays
  if (verdict != Verdict::kShow) return ClearStatusOnce();
  if (!ShownLongEnough(composer.fields, nowMs)) return;
  // Read only now: a Save or a stop that runs inside one of the queries above
  // replaces or frees the template.
  const char* format = composer.fields.encoding == TextEncoding::kUtf8 ? g_running.utf8Format
                                                                       : g_running.settings.statusFormat;
  const char* mark = MarkFor(settings, reading);
  const char* text = ComposeStatus(format, mark, &composer);
  if (text == nullptr) return;

  g_running.statusCleared = false;
  RecordOptions options = {settings.utf8Text, settings.statusIcon, settings.headphonesIcon, composer.offeredEncoding,
                           mark != nullptr ? strlen(mark) : 0};
  if (g_running.handOver.PostStatus(text, options)) g_running.handOver.WaitUntilHandedOver(kHandOverWaitMs);
}

void CALLBACK OnTimerTick(HWND, UINT, UINT_PTR, DWORD time) {
  if (g_tickRunning) return;
  ActiveCall call;
  g_tickRunning = true;
  RunTick(time);
  g_tickRunning = false;
}

// The preview's texts, ANSI or UTF-8, into UTF-16: line breaks as " / ".
static void ShowAsWide(const char* text, TextEncoding encoding, WCHAR* out, int outSize) {
  char shown[3 * kLastTextSize];
  size_t length = 0;
  for (const char* at = text; *at != '\0' && length + 4 <= sizeof shown; ++at) {
    if (*at != '\r' && *at != '\n') {
      shown[length++] = *at;
      continue;
    }
    if (at[0] == '\r' && at[1] == '\n') ++at;
    memcpy(shown + length, " / ", 3);
    length += 3;
  }
  shown[length] = '\0';
  const UINT codePage = encoding == TextEncoding::kUtf8 ? CP_UTF8 : CP_ACP;
  const int written = MultiByteToWideChar(codePage, 0, shown, -1, out, outSize);
  if (written <= 0) out[0] = 0;
  out[outSize - 1] = 0;
}

// A reason in words, with what the rule found in it when it names a word.
static void ShowReason(const char* reason, const char* word, size_t wordLength, WCHAR* out, int outSize) {
  char text[kHiddenPathWordsSize + 64];
  size_t length = strlen(reason);
  memcpy(text, reason, length);
  if (word != nullptr) {
    memcpy(text + length, word, wordLength);
    length += wordLength;
    memcpy(text + length, "\")", 3);
  } else {
    text[length] = '\0';
  }
  ShowAsWide(text, TextEncoding::kAnsi, out, outSize);
}

// Its questions to the host are waits as well: a preview inside one of them
// would refresh the fields the outer one is filling.
static bool g_previewRunning = false;

static void ComposePreview(const PluginSettings& edited, bool askHost, WCHAR* out, int outSize) {
  const char* format = edited.statusFormat != nullptr ? edited.statusFormat : "";
  if (!edited.enabled) return ShowReason("(status changing is off)", nullptr, 0, out, outSize);
  if (format[0] == '\0') return ShowReason("(nothing: the template is empty)", nullptr, 0, out, outSize);
  ConvertTemplateToUtf8(format, g_preview.utf8Format);
  const uint8_t tokens = NamedTokensIn(TextEncoding::kAnsi, format) |
                         NamedTokensIn(TextEncoding::kUtf8, g_preview.utf8Format);
  TrackFields& fields = g_preview.composer.fields;
  // The elapsed time always: it costs no question of its own, and a $E just
  // typed shows at once.
  if (askHost) AskHost(edited, tokens | kElapsedToken, FileNamesForRules(edited), &fields, &g_preview.reading);

  const char* word = nullptr;
  size_t wordLength = 0;
  switch (Judge(edited, fields, g_preview.reading, &word, &wordLength)) {
    case Verdict::kPaused: return ShowReason("(cleared while paused)", nullptr, 0, out, outSize);
    case Verdict::kStopped: return ShowReason("(cleared while stopped)", nullptr, 0, out, outSize);
    case Verdict::kStream: return ShowReason("(hidden: a stream)", nullptr, 0, out, outSize);
    case Verdict::kVideo: return ShowReason("(hidden: a video)", nullptr, 0, out, outSize);
    case Verdict::kPathWord:
      return ShowReason("(hidden: the file's path holds \"", word, wordLength, out, outSize);
    case Verdict::kAddress: return ShowReason("(waiting for the stream's first title)", nullptr, 0, out, outSize);
    case Verdict::kShow: break;
  }
  ForgetLastTextOffered(&g_preview.composer);
  const bool utf8 = fields.encoding == TextEncoding::kUtf8;
  const char* text = ComposeStatus(utf8 ? g_preview.utf8Format : format, MarkFor(edited, g_preview.reading),
                                   &g_preview.composer);
  if (text == nullptr) return ShowReason("(nothing: the status is empty)", nullptr, 0, out, outSize);
  ShowAsWide(text, fields.encoding, out, outSize);
}

bool PreviewStatus(const PluginSettings& edited, bool askHost, WCHAR* out, int outSize) {
  if (g_previewRunning || outSize <= 0) return false;
  g_previewRunning = true;
  ComposePreview(edited, askHost, out, outSize);
  g_previewRunning = false;
  return true;
}

void ForgetPreview() { memset(&g_preview, 0, sizeof g_preview); }
