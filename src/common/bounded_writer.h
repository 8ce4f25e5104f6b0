// Writing texts into fixed buffers: nothing is ever written past the buffer,
// and once finished it always holds a terminated text.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Length of the longest prefix of text, at most maxBytes, that ends on a
// character boundary; reads at most text[0..maxBytes].
typedef size_t (*FitTextFn)(const char* text, size_t maxBytes);

// Two ways to append, for two kinds of text:
// - whole pieces (numbers, the record's groups): a piece that does not fit is
//   refused and the writer fails;
// - parts of a longer text (the template expansion): what does not fit is cut
//   off, and CutAtCharBoundary then ends the text on a character boundary.
class BoundedWriter {
 public:
  // out holds size bytes (at least 1); it starts as the empty text.
  BoundedWriter(char* out, size_t size);

  // Appends count bytes whole, or refuses them and marks the writer failed
  // when they and the zero byte would not fit. After a failure or a cut
  // nothing more is appended.
  void Append(const char* bytes, size_t count);
  void AppendText(const char* text);
  // Decimal, as printf's "%0*d" with this width: zero-padded to at least
  // width characters, a minus sign counted among them.
  void AppendDecimal(int64_t value, int width = 1);

  // Appends as many of count bytes as fit in size - 1. When some are cut
  // off, the first of them is kept in the buffer's last byte, in place of the
  // zero, so that CutAtCharBoundary can tell whether the cut split a
  // character; the text must then be finished with it before it is read.
  void AppendPart(const char* bytes, size_t count);
  // After a cut, shortens the text to the last character boundary that fit
  // decides and terminates it again. Does nothing when nothing was cut.
  void CutAtCharBoundary(FitTextFn fit);

  size_t Length() const { return length; }
  bool Failed() const { return failed; }
  bool Cut() const { return cut; }

 private:
  char* out;
  size_t size;
  size_t length;
  bool failed;
  bool cut;
};
