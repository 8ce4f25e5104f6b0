// Helpers shared by the portable core's tests: a scripted host, the modelled
// code page, and canary bytes around buffers the code under test fills.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "composer/status_composer.h"
#include "composer/track_fields.h"
#include "platform/text_portable.h"

// A host that answers the query requests from plain fields and counts what
// was asked.
struct FakeHost {
  int32_t playlistPosition = 2;
  const char* title = "Some Artist - Some Song";  // null: the host has no title
  const char16_t* wideTitle = nullptr;            // null: the host does not know request 213 (answers 1)
  int32_t positionMs = 61000;
  int32_t lengthSeconds = 245;
  int32_t sampleRate = 44;
  int32_t bitrate = 192;
  int32_t listLength = 12;
  intptr_t numericHighBits = 0;  // added to every numeric answer (64-bit only)
  const char* fileName = "C:\\Music\\a.mp3";  // request 211
  const char16_t* wideFileName = nullptr;     // request 214; null: the host does not know it (answers 0)
  const char* album = "Album";                // what 290 answers, whatever tag it names
  int listLengthQueries = 0;     // asked only when the title changed
  int titleQueries = 0;
  int wideTitleQueries = 0;
  int fileNameQueries = 0;
  int tagQueries = 0;
};

inline FakeHost* g_fakeHost = nullptr;

inline intptr_t FakeQuery(intptr_t wParam, intptr_t request) {
  FakeHost& host = *g_fakeHost;
  int32_t answer = 0;
  switch (request) {
    case kRequestPlaylistPosition: answer = host.playlistPosition; break;
    case kRequestEntryTitle: ++host.titleQueries; return reinterpret_cast<intptr_t>(host.title);
    case kRequestEntryWideTitle:
      ++host.wideTitleQueries;
      return host.wideTitle != nullptr ? reinterpret_cast<intptr_t>(host.wideTitle) : 1;
    case kRequestPlaybackTime: answer = wParam == 1 ? host.lengthSeconds : host.positionMs; break;
    case kRequestStreamInfo: answer = wParam == 1 ? host.bitrate : host.sampleRate; break;
    case kRequestPlaylistLength: ++host.listLengthQueries; answer = host.listLength; break;
    case kRequestEntryFileName: ++host.fileNameQueries; return reinterpret_cast<intptr_t>(host.fileName);
    case kRequestEntryWideFileName: return reinterpret_cast<intptr_t>(host.wideFileName);
    case kRequestFileTag: {
      const FileTagRequest* tag = reinterpret_cast<const FileTagRequest*>(wParam);
      ++host.tagQueries;
      snprintf(tag->ret, tag->retlen, "%s", host.album);
      return 1;
    }
    default: return 0;
  }
  return static_cast<intptr_t>(answer) + host.numericHighBits;
}

// Points the fake query at host for the lifetime of this object.
struct FakeHostScope {
  explicit FakeHostScope(FakeHost* host) { g_fakeHost = host; }
  ~FakeHostScope() { g_fakeHost = nullptr; }
};

// One tick's composition as the plug-in runs it: the host's answers first,
// then the template.
inline const char* ComposeTick(HostQueryFn query, const char* format, StatusComposer* composer, bool wide = false,
                               const char* mark = nullptr) {
  RefreshTrackFields(query, wide, NamedTokensIn(TextEncoding::kAnsi, format), 0, &composer->fields);
  return ComposeStatus(format, mark, composer);
}

// Models code page 932 (or another) for the lifetime of this object.
struct CodePageScope {
  explicit CodePageScope(unsigned codePage) { SetModelCodePage(codePage); }
  ~CodePageScope() { SetModelCodePage(1252); }
};

// True when text is well-formed UTF-8 to its end: no lone lead byte, no
// stray continuation byte, no overlong form. Written apart from the code
// under test, which only ever steps over continuation bytes.
inline bool IsWholeUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t size = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
    if (size == 0 || i + size > text.size()) return false;
    for (size_t k = 1; k < size; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += size;
  }
  return true;
}

// Bytes as hex, so a failure shows what differs.
inline std::string Hex(const std::string& bytes) {
  std::string hex;
  char digits[4];
  for (unsigned char byte : bytes) {
    snprintf(digits, sizeof digits, "%02X ", byte);
    hex += digits;
  }
  return hex;
}

// T between two canary blocks; every byte starts as 0xCD.
enum : unsigned char { kCanaryByte = 0xCD };
template <typename T>
struct Guarded {
  unsigned char before[64];
  T value;
  unsigned char after[64];

  Guarded() { memset(static_cast<void*>(this), kCanaryByte, sizeof *this); }
  bool CanariesIntact() const {
    for (size_t i = 0; i < sizeof before; ++i) {
      if (before[i] != kCanaryByte || after[i] != kCanaryByte) return false;
    }
    return true;
  }
};
