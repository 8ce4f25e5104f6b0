// The stand-in player's script: parsing, the built-in playlist, and the
// playback state at a moment of the player's clock.
#include "player_script.h"

#include <stdio.h>
#include <stdlib.h>

#include <sstream>

namespace standin {

namespace {

bool ParseInteger(const std::string& word, long long* value) {
  if (word.empty()) return false;
  char* end = nullptr;
  *value = strtoll(word.c_str(), &end, 10);
  return end != nullptr && *end == '\0';
}

// The rest of the line after the first `words` words, leading spaces dropped.
std::string RestAfterWords(const std::string& line, int words) {
  size_t at = 0;
  for (int i = 0; i < words; ++i) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string::npos) return std::string();
    at = line.find_first_of(" \t", at);
    if (at == std::string::npos) return std::string();
  }
  at = line.find_first_not_of(" \t", at);
  return at == std::string::npos ? std::string() : line.substr(at);
}

bool Fail(int lineNumber, const std::string& reason, std::string* error) {
  if (error != nullptr) *error = "line " + std::to_string(lineNumber) + ": " + reason;
  return false;
}

bool ParseEvent(const std::vector<std::string>& words, const std::string& line, int lineNumber,
                PlayerScript* script, std::string* error) {
  long long at = 0;
  if (words.size() < 3 || !ParseInteger(words[1], &at) || at < 0) return Fail(lineNumber, "expected 'at MS WHAT'", error);
  if (!script->events.empty() && at < script->events.back().atMs) return Fail(lineNumber, "events out of time order", error);
  ScriptEvent event;
  event.atMs = at;
  const std::string& what = words[2];
  long long number = 0;
  if (what == "play") {
    if (words.size() < 4 || !ParseInteger(words[3], &number) || number < 0 ||
        number >= static_cast<long long>(script->playlist.size()))
      return Fail(lineNumber, "play needs an entry of the playlist", error);
    event.kind = EventKind::Play;
    event.entry = static_cast<int32_t>(number);
    if (words.size() > 4 && !ParseInteger(words[4], &number)) return Fail(lineNumber, "bad position", error);
    event.positionMs = words.size() > 4 ? static_cast<int32_t>(number) : 0;
  } else if (what == "seek") {
    if (words.size() < 4 || !ParseInteger(words[3], &number)) return Fail(lineNumber, "seek needs a position", error);
    event.kind = EventKind::Seek;
    event.positionMs = static_cast<int32_t>(number);
  } else if (what == "pause") {
    event.kind = EventKind::Pause;
  } else if (what == "resume") {
    event.kind = EventKind::Resume;
  } else if (what == "stop") {
    event.kind = EventKind::Stop;
  } else if (what == "title") {
    event.kind = EventKind::Title;
    event.title = RestAfterWords(line, 3);
  } else if (what == "title-clear") {
    event.kind = EventKind::TitleClear;
  } else if (what == "press") {
    event.kind = EventKind::Press;
    event.hotkey = RestAfterWords(line, 3);
    if (event.hotkey.empty()) return Fail(lineNumber, "press needs an action's id", error);
  } else if (what == "end") {
    event.kind = EventKind::End;
  } else {
    return Fail(lineNumber, "unknown event '" + what + "'", error);
  }
  script->events.push_back(event);
  return true;
}

}  // namespace

bool ParsePlayerScript(const std::string& text, PlayerScript* script, std::string* error) {
  *script = PlayerScript();
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream wordStream(line);
    std::vector<std::string> words;
    for (std::string word; wordStream >> word;) words.push_back(word);
    if (words.empty() || words[0][0] == '#') continue;
    if (words[0] == "entry") {
      long long length = 0, bitrate = 0, sampleRate = 0;
      if (words.size() < 5 || !ParseInteger(words[1], &length) || !ParseInteger(words[2], &bitrate) ||
          !ParseInteger(words[3], &sampleRate))
        return Fail(lineNumber, "expected 'entry LENGTH_S BITRATE SAMPLERATE TITLE'", error);
      PlaylistEntry entry;
      entry.lengthSeconds = static_cast<int32_t>(length);
      entry.bitrateKbps = static_cast<int32_t>(bitrate);
      entry.sampleRateKhz = static_cast<int32_t>(sampleRate);
      entry.title = RestAfterWords(line, 4);
      entry.fileName = "C:\\Music\\" + std::to_string(script->playlist.size() + 1) + ".mp3";
      script->playlist.push_back(entry);
    } else if (words[0] == "file" || words[0] == "tag" || words[0] == "video") {
      if (script->playlist.empty()) return Fail(lineNumber, words[0] + " before the first entry", error);
      PlaylistEntry& entry = script->playlist.back();
      if (words[0] == "video") entry.video = true;
      else if (words[0] == "file") entry.fileName = RestAfterWords(line, 1);
      else if (words.size() < 2) return Fail(lineNumber, "expected 'tag NAME VALUE'", error);
      else entry.tags.push_back(FileTag{words[1], RestAfterWords(line, 2)});
    } else if (words[0] == "at") {
      if (!ParseEvent(words, line, lineNumber, script, error)) return false;
    } else {
      return Fail(lineNumber, "unknown statement '" + words[0] + "'", error);
    }
  }
  if (script->playlist.empty()) return Fail(lineNumber, "the playlist is empty", error);
  return true;
}

// The titles and tags of tracks 5 and 6 are UTF-8 (this file is UTF-8):
// Japanese and Cyrillic, which the ANSI code page of a Western system cannot
// hold.
const char* BuiltInScriptText() {
  return "# The demo's evening: six tracks, a seek, a stream that buffers first,\n"
         "# a pause, and a stop before the last track. Track 4 has no album.\n"
         "entry 100 192 44 Some Artist - Some Song\n"
         "  tag album Evening Lights\n"
         "  tag year 1999\n"
         "entry 80 256 48 Alpha-Beta - Gamma\n"
         "  tag album Delta\n"
         "  tag year 2004\n"
         "entry -1 128 44 Kestrel FM - Night Drive\n"
         "  file http://radio.example/kestrel\n"
         "  tag album Never Asked For\n"
         "entry 60 320 44 Instrumental\n"
         "  tag year 2011\n"
         "entry 90 256 44 星野ミナト - 夜明けの駅\n"
         "  tag album 始発\n"
         "  tag year 2016\n"
         "entry 75 192 48 Ирина Светлова - Тёплый ветер\n"
         "  tag album Лето\n"
         "  tag year 2008\n"
         "at 0 play 0\n"
         "at 35000 seek 72000\n"
         "at 64000 play 1\n"
         "at 145000 play 2\n"
         "at 145000 title [Buffer: 45%] Kestrel FM\n"
         "at 151000 title-clear\n"
         "at 170000 play 3\n"
         "at 231000 play 4\n"
         "at 246000 pause\n"
         "at 256000 resume\n"
         "at 271000 stop\n"
         "at 276000 play 5\n"
         "at 296000 end\n";
}

PlaybackState StateAt(const PlayerScript& script, int64_t clockMs) {
  PlaybackState state;
  int64_t sinceMs = 0;  // clock time up to which the position is counted
  auto countUpTo = [&state, &sinceMs](int64_t ms) {
    if (state.mode == PlayMode::Playing) state.positionMs += static_cast<int32_t>(ms - sinceMs);
    sinceMs = ms;
  };
  for (const ScriptEvent& event : script.events) {
    if (event.atMs > clockMs) break;
    ++state.eventsReached;
    countUpTo(event.atMs);
    switch (event.kind) {
      case EventKind::Play:
        state.entry = event.entry;
        state.positionMs = event.positionMs;
        state.mode = PlayMode::Playing;
        state.titleOverridden = false;
        break;
      case EventKind::Seek:
        state.positionMs = event.positionMs;
        break;
      case EventKind::Pause:
        if (state.mode == PlayMode::Playing) state.mode = PlayMode::Paused;
        break;
      case EventKind::Resume:
        if (state.mode == PlayMode::Paused) state.mode = PlayMode::Playing;
        break;
      case EventKind::Stop:
        state.mode = PlayMode::Stopped;
        state.positionMs = 0;
        break;
      case EventKind::Title:
        state.titleOverridden = true;
        state.title = event.title;
        break;
      case EventKind::TitleClear:
        state.titleOverridden = false;
        break;
      case EventKind::Press:  // the player's window sends it; playback goes on
        break;
      case EventKind::End:
        state.mode = PlayMode::Stopped;
        state.ended = true;
        break;
    }
  }
  countUpTo(clockMs);
  if (!state.titleOverridden && state.entry < static_cast<int32_t>(script.playlist.size()))
    state.title = script.playlist[state.entry].title;
  return state;
}

std::string FormatPosition(int64_t ms) {
  const bool negative = ms < 0;
  const int64_t seconds = (negative ? -ms : ms) / 1000;
  char text[32];
  snprintf(text, sizeof text, "%s%lld:%02lld", negative ? "-" : "", static_cast<long long>(seconds / 60),
           static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace standin
