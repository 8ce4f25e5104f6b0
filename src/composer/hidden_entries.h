// The rules that keep an entry from being published, from its file name: a
// stream, or a path holding one of the words the user listed.
#pragma once

#include <stddef.h>

// True when fileName names a stream: it contains "://" and is not a track of
// an audio CD ("cda://" at its start, letters in any case). Null is no
// stream. For the ANSI (char) and the UTF-16 (uint16_t) file name; the one
// meaning of a stream, for the rule that hides streams and for the tags
// that are never asked of one.
template <typename Unit>
bool IsStream(const Unit* fileName);

// True when path contains one of the words, which are separated by ";" and
// lose the spaces around them; an empty word hides nothing. A word matches
// only where a character of the ANSI code page starts, character for
// character: ASCII letters in any case, every other byte (both bytes of a
// double-byte character) exactly. Null path or words: false. With word, the
// first word that matched is *word, *wordLength bytes long (spaces dropped).
bool PathHasHiddenWord(const char* path, const char* words, const char** word = nullptr,
                       size_t* wordLength = nullptr);

// True when an entry's title is a web address, which the player shows for
// a stream until the stream's first title arrives: it holds "://" (bytes no
// double-byte character holds as its second).
bool IsAddress(const char* title);
