// The host of the typical event, shared by the benchmarks and the tick
// driver: entry 3 of 12, 'Some Artist - Some Song', 245 s long, at 61 s,
// 192 kbps, 44 kHz.
#pragma once

#include <stdint.h>

#include "composer/track_fields.h"

namespace bench {

inline const char kDefaultTemplate[] = "$A - $T ($D) $P";
inline const char kTitle[] = "Some Artist - Some Song";

inline intptr_t ExampleHost(intptr_t wParam, intptr_t request) {
  switch (request) {
    case kRequestPlaylistPosition: return 2;
    case kRequestEntryTitle: return reinterpret_cast<intptr_t>(kTitle);
    case kRequestPlaybackTime: return wParam == 1 ? 245 : 61000;
    case kRequestStreamInfo: return wParam == 1 ? 192 : 44;
    case kRequestPlaylistLength: return 12;
    default: return 0;
  }
}

}  // namespace bench
