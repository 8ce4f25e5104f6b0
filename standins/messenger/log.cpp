// The event log: what tests compare and what a person watches. Each line is
// written whole and at once, so a reader never sees half a line from us and
// lines from the COM threads do not interleave with the window thread's.
#include "standin_messenger.h"

namespace {

CRITICAL_SECTION logLock;
HANDLE logFile = INVALID_HANDLE_VALUE;
bool lockReady = false;

void WriteAll(HANDLE handle, const std::string& bytes) {
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return;
  DWORD written = 0;
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void OpenLogFile(const std::wstring& path) {
  InitializeCriticalSection(&logLock);
  lockReady = true;
  if (path.empty()) return;
  // Appending, and shared, so a test can read while we write.
  logFile = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void CloseLogFile() {
  if (logFile != INVALID_HANDLE_VALUE) CloseHandle(logFile);
  logFile = INVALID_HANDLE_VALUE;
}

void LogLine(const std::string& line) {
  const std::string whole = line + "\n";
  if (lockReady) EnterCriticalSection(&logLock);
  WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), whole);
  WriteAll(logFile, whole);
  if (lockReady) LeaveCriticalSection(&logLock);
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    out += digits[byte >> 4];
    out += digits[byte & 15];
  }
  return out;
}
