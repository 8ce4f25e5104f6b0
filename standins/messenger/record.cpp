// Reads custom message 4 as the plug-in left it under the profile key and
// decodes it the way the messenger reads it: the text up to the first
// separator, then an optional status-icon group, then an optional headphones
// group, and nothing else. Anything else is reported, not guessed at.
#include <cstring>
#include <vector>

#include "standin_messenger.h"

namespace {

const char kSeparator[] = "\xC0\x80";
const char kHeadphonesStatus[] = "YSTATUS=2\tu\t0\ts\t0\tp\t1\tm\t59\td\t0";

struct Value {
  bool present = false;
  DWORD type = REG_NONE;
  std::string data;
};

Value ReadValue(HKEY key, const wchar_t* name) {
  Value value;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return value;
  value.data.resize(size);
  if (RegQueryValueExW(key, name, nullptr, &value.type, size ? reinterpret_cast<BYTE*>(&value.data[0]) : nullptr,
                       &size) != ERROR_SUCCESS)
    return value;
  value.data.resize(size);
  value.present = true;
  return value;
}

std::vector<std::string> SplitFields(const std::string& body) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t at = body.find(kSeparator, start);
    if (at == std::string::npos) break;
    fields.push_back(body.substr(start, at - start));
    start = at + 2;
  }
  fields.push_back(body.substr(start));
  return fields;
}

struct Decoded {
  std::string text;
  int icon = 0;
  bool headphones = false;
};

// Null when well formed, else the reason for the log.
const char* Decode(const std::string& bytes, Decoded* out) {
  const size_t end = bytes.find('\0');
  if (end == std::string::npos) return "no-terminator";
  if (end + 1 != bytes.size()) return "trailing-bytes";
  const std::vector<std::string> fields = SplitFields(bytes.substr(0, end));
  out->text = fields[0];
  size_t next = 1;
  if (next + 1 < fields.size() && fields[next] == "47") {
    if (fields[next + 1] != "1" && fields[next + 1] != "2") return "malformed";
    out->icon = fields[next + 1][0] - '0';
    next += 2;
  }
  if (next + 3 < fields.size() && fields[next] == "184") {
    if (fields[next + 1] != kHeadphonesStatus || fields[next + 2] != "187" || fields[next + 3] != "2")
      return "malformed";
    out->headphones = true;
    next += 4;
  }
  if (next != fields.size()) return "malformed";
  return nullptr;
}

bool IsUtf8(const std::string& text) {
  return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0) > 0;
}

// Shows the text as it would read in UTF-8 when it is valid UTF-8, otherwise
// in the ANSI code page: either is what a plug-in may have written.
std::wstring Readable(const std::string& text) {
  if (text.empty()) return std::wstring();
  const UINT codePage = IsUtf8(text) ? CP_UTF8 : CP_ACP;
  const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(size > 0 ? size : 0, L'\0');
  if (size > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

// The log is UTF-8: a text that is valid UTF-8 reads as itself; otherwise
// every byte outside printable ASCII shows as \xHH, as do control bytes and
// the backslash in either case.
std::string Printable(const std::string& text) {
  static const char digits[] = "0123456789abcdef";
  const bool utf8 = IsUtf8(text);
  std::string out;
  for (unsigned char byte : text) {
    if ((byte >= 0x20 && byte < 0x7F && byte != '\\') || (utf8 && byte >= 0x80)) {
      out += static_cast<char>(byte);
    } else {
      out += "\\x";
      out += digits[byte >> 4];
      out += digits[byte & 15];
    }
  }
  return out;
}

std::string DescribeDnd(const Value& dnd) {
  if (!dnd.present) return "none";
  if (dnd.type != REG_DWORD || dnd.data.size() != sizeof(DWORD)) return "bad-type";
  DWORD number = 0;
  memcpy(&number, dnd.data.data(), sizeof number);
  return std::to_string(number);
}

const wchar_t* IconName(int icon) { return icon == 1 ? L"busy" : icon == 2 ? L"idle" : L"none"; }

RecordReport Failure(const char* reason, const std::string& bytes, bool withBytes) {
  RecordReport report;
  report.logLine = std::string("record error=") + reason;
  if (withBytes) report.logLine += " bytes=" + Hex(bytes);
  report.shownLine = "shown (nothing: " + std::string(reason) + ")";
  report.displayText = L"Custom message 4 could not be read: ";
  report.displayText += std::wstring(reason, reason + strlen(reason));
  return report;
}

}  // namespace

std::wstring ProfileRootPath(const std::wstring& profile) { return L"Software\\Yahoo\\Pager\\profiles\\" + profile; }

std::wstring ProfileKeyPath(const std::wstring& profile) { return ProfileRootPath(profile) + L"\\Custom Msgs"; }

RecordReport ReadRecord(const std::wstring& keyPath) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return Failure("no-key", std::string(), false);
  const Value record = ReadValue(key, L"4");
  const Value recordBin = ReadValue(key, L"4_bin");
  const Value dnd = ReadValue(key, L"4_DND");
  RegCloseKey(key);

  if (!record.present) return Failure("no-value", std::string(), false);
  if (record.type != REG_BINARY) return Failure("not-binary", record.data, true);
  Decoded decoded;
  if (const char* reason = Decode(record.data, &decoded)) return Failure(reason, record.data, true);

  const bool binEqual = recordBin.present && recordBin.type == REG_BINARY && recordBin.data == record.data;
  RecordReport report;
  report.logLine = "record text=" + Hex(decoded.text) + " icon=" + std::to_string(decoded.icon) +
                   " headphones=" + (decoded.headphones ? "1" : "0") + " dnd=" + DescribeDnd(dnd) +
                   " bin-equal=" + (binEqual ? "1" : "0");
  report.shownLine = "shown " + Printable(decoded.text);
  report.displayText = Readable(decoded.text) + L"\r\n\r\nStatus icon: " + IconName(decoded.icon) +
                       L"    Headphones: " + (decoded.headphones ? L"on" : L"off");
  return report;
}
