// What the stand-in player plays: a playlist and a script of timed events
// (play, seek, pause, resume, stop, stream title, a key press, end) on the
// player's own clock.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace standin {

struct FileTag {
  std::string name;   // album, year, genre, track
  std::string value;  // UTF-8
};

struct PlaylistEntry {
  std::string title;          // as the script has it: UTF-8, or raw ANSI bytes
  int32_t lengthSeconds = 0;  // -1: the host knows no length (a stream)
  int32_t bitrateKbps = 0;
  int32_t sampleRateKhz = 0;
  std::string fileName;       // UTF-8; a stream's holds "://"
  std::vector<FileTag> tags;  // what the file's decoder reads from it
  bool video = false;
};

enum class EventKind { Play, Seek, Pause, Resume, Stop, Title, TitleClear, Press, End };

struct ScriptEvent {
  int64_t atMs = 0;  // player clock
  EventKind kind = EventKind::Play;
  int32_t entry = 0;       // Play
  int32_t positionMs = 0;  // Play, Seek
  std::string title;       // Title: shown instead of the entry's own until the next play
  std::string hotkey;      // Press: the id text of the action whose key is pressed
};

struct PlayerScript {
  std::vector<PlaylistEntry> playlist;
  std::vector<ScriptEvent> events;  // in time order
};

// The values are what the host answers when asked for its playback state.
enum class PlayMode : int32_t { Stopped = 0, Playing = 1, Paused = 3 };

// What the player is doing at a moment of its clock.
struct PlaybackState {
  int32_t entry = 0;
  // Runs only while playing, on past the length until the script says
  // otherwise; frozen while paused, 0 after a stop.
  int32_t positionMs = 0;
  PlayMode mode = PlayMode::Stopped;  // also before the first play and after the end
  bool titleOverridden = false;
  std::string title;       // the entry's title, or the stream title that overrides it
  size_t eventsReached = 0;
  bool ended = false;
};

// The script's text form, one statement a line ('#' starts a comment):
//   entry LENGTH_S BITRATE_KBPS SAMPLERATE_KHZ TITLE...
//   file NAME...               (the last entry's file; without one, C:\Music\N.mp3)
//   tag NAME VALUE...          (a tag of the last entry's file: album, year, genre, track)
//   video                      (the last entry is a video)
//   at MS play ENTRY [POSITION_MS]
//   at MS seek POSITION_MS
//   at MS pause                (the position freezes)
//   at MS resume               (it runs on from there)
//   at MS stop                 (position 0 until the next play)
//   at MS title TEXT...        (a stream title for the current entry)
//   at MS title-clear
//   at MS press ID             (the key bound to the hotkey action with that id)
//   at MS end
// Returns false with the line's number and the reason in *error.
bool ParsePlayerScript(const std::string& text, PlayerScript* script, std::string* error);

// Several tracks (some titles Japanese or Cyrillic, in UTF-8), a seek, a
// stream that buffers first, a pause, a stop and a play again, and an end.
const char* BuiltInScriptText();

PlaybackState StateAt(const PlayerScript& script, int64_t clockMs);

// "m:ss" of a position in milliseconds, for people.
std::string FormatPosition(int64_t ms);

}  // namespace standin
