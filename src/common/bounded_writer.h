// Writing texts into fixed buffers: the buffer always holds a terminated
// text, and nothing is ever written past it.
#pragma once

#include <stddef.h>
#include <stdint.h>

class BoundedWriter {
 public:
  // out holds size bytes (at least 1); it starts as the empty text.
  BoundedWriter(char* out, size_t size);

  // Appends count bytes whole, or refuses them and marks the writer failed
  // when they and the zero byte would not fit. After a failure nothing more
  // is appended.
  void Append(const char* bytes, size_t count);
  void AppendText(const char* text);
  // Decimal, as printf's "%0*d" with this width: zero-padded to at least
  // width characters, a minus sign counted among them.
  void AppendDecimal(int64_t value, int width = 1);

  size_t Length() const { return length; }
  bool Failed() const { return failed; }

 private:
  char* out;
  size_t size;
  size_t length;
  bool failed;
};
