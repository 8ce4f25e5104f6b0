// Test hook of the portable text services: which ANSI code page they model.
#pragma once

// 1252 (Western, single-byte; the default) or 932 (a double-byte code page:
// lead bytes 0x81-0x9F and 0xE0-0xFC, any following byte is the trail).
// Returns false, changing nothing, for any other code page.
bool SetModelCodePage(unsigned codePage);
unsigned ModelCodePage();
