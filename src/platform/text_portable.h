// Test hook of the portable text services: which ANSI code page they model.
#pragma once

// 1252 (Western, single-byte; the default), 932 (double-byte: lead bytes
// 0x81-0x9F and 0xE0-0xFC) or 936 (double-byte: lead bytes 0x81-0xFE); in
// both, any byte after a lead byte is its trail.
// Returns false, changing nothing, for any other code page.
bool SetModelCodePage(unsigned codePage);
unsigned ModelCodePage();
