// The stand-in messenger, seen the way the plug-in sees the real one: its
// automation object through COM (called through the plug-in's own declaration
// of the interface, so the two must agree on the ABI), its windows, its
// profile key, and how it decodes the record it is handed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "messenger/automation.h"
#include "messenger_process.h"

namespace {

const CLSID kClass = {0xE5D12C4E, 0x7B4F, 0x11D3, {0xB5, 0xC9, 0x00, 0x50, 0x04, 0x5C, 0x3C, 0x96}};
const IID kInterface = {0xE5D12C4D, 0x7B4F, 0x11D3, {0xB5, 0xC9, 0x00, 0x50, 0x04, 0x5C, 0x3C, 0x96}};
const char kSep[] = "\xC0\x80";
const std::string kHeadphones = std::string(kSep) + "184" + kSep + "YSTATUS=2\tu\t0\ts\t0\tp\t1\tm\t59\td\t0" + kSep +
                                "187" + kSep + "2";

// The player's UI thread initialises COM as a single-threaded apartment.
class StandinMessengerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }

  void StartMessenger(const MessengerOptions& options) {
    std::string error;
    ASSERT_TRUE(messenger.Start(options, 15000, &error)) << error;
  }

  MessengerProcess messenger;
};

struct Reply {
  HRESULT create = E_UNEXPECTED;
  HRESULT open = E_UNEXPECTED;
  HRESULT query = E_UNEXPECTED;
  VARTYPE type = VT_ILLEGAL;
  std::wstring text;
};

// One full check as the plug-in does it: create, open with sixteen zero
// bytes, query 103 with VARIANTs whose type alone is set, release.
Reply AskProfile() {
  Reply reply;
  IMessengerAutomation* automation = nullptr;
  reply.create = CoCreateInstance(kClass, nullptr, CLSCTX_LOCAL_SERVER, kInterface,
                                  reinterpret_cast<void**>(&automation));
  if (reply.create != S_OK) return reply;
  OpenArgument zero = {};
  LONG channelId = 0;
  LONG channelAux = 0;
  reply.open = automation->Open(zero, &channelId, &channelAux);
  if (reply.open == S_OK) {
    VARIANT request;
    VARIANT answer;
    request.vt = VT_EMPTY;
    answer.vt = VT_EMPTY;
    reply.query = automation->Query(channelId, kQueryProfileRequest, &request, &answer, &channelAux);
    reply.type = answer.vt;
    if (answer.vt == VT_BSTR) reply.text.assign(answer.bstrVal, SysStringLen(answer.bstrVal));
    if (reply.query == S_OK) VariantClear(&answer);
  }
  automation->Release();
  return reply;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

TEST_F(StandinMessengerTest, AutomationGivesTheProfileAcrossProcesses) {
  MessengerOptions options;
  options.profile = "someone";
  StartMessenger(options);

  std::vector<double> times;
  for (int i = 0; i < 21; ++i) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const Reply reply = AskProfile();
    QueryPerformanceCounter(&end);
    times.push_back(Milliseconds(start, end));
    ASSERT_EQ(S_OK, reply.create);
    ASSERT_EQ(S_OK, reply.open);
    ASSERT_EQ(S_OK, reply.query);
    ASSERT_EQ(VT_BSTR, reply.type);
    ASSERT_EQ(std::wstring(L"a\x04someone\x04" L"b"), reply.text);
  }
  std::printf("full check (create+open+query+release): first %.1f ms, median of %zu %.1f ms\n", times[0],
              times.size(), Median(times));

  const std::vector<std::string> lines = messenger.Lines();
  EXPECT_EQ(21u, LinesStartingWith(lines, "automation create").size()) << messenger.LogText();
  EXPECT_EQ(21u, LinesStartingWith(lines, "automation open ok").size());
  EXPECT_EQ(21u, LinesStartingWith(lines, "automation query 103 ok").size());
}

TEST_F(StandinMessengerTest, EachAutomationModeFailsItsOwnWay) {
  struct Case {
    const char* mode;
    HRESULT create, open, query;
    VARTYPE type;
  };
  const Case cases[] = {
      {"create-fails", REGDB_E_CLASSNOTREG, E_UNEXPECTED, E_UNEXPECTED, VT_ILLEGAL},
      {"open-fails", S_OK, E_FAIL, E_UNEXPECTED, VT_ILLEGAL},
      {"query-fails", S_OK, S_OK, E_FAIL, VT_EMPTY},
      {"non-bstr", S_OK, S_OK, S_OK, VT_I4},
      {"long-reply", S_OK, S_OK, S_OK, VT_BSTR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    MessengerOptions options;
    options.automation = c.mode;
    StartMessenger(options);
    const Reply reply = AskProfile();
    if (c.create == S_OK) EXPECT_EQ(S_OK, reply.create);
    else EXPECT_NE(S_OK, reply.create) << "create gave " << std::hex << reply.create;
    EXPECT_EQ(c.open, reply.open);
    EXPECT_EQ(c.query, reply.query);
    EXPECT_EQ(c.type, reply.type);
    if (c.type == VT_BSTR) {
      // Too long for a 100-byte ANSI buffer; both separators only past it.
      EXPECT_GT(reply.text.size(), 300u);
      EXPECT_EQ(2, std::count(reply.text.begin(), reply.text.end(), L'\x04'));
      EXPECT_GT(reply.text.find(L'\x04'), 100u);
    }
    EXPECT_TRUE(messenger.Stop());
  }
}

TEST_F(StandinMessengerTest, AutomationRejectsAWrongArgumentOrChannel) {
  StartMessenger(MessengerOptions());
  IMessengerAutomation* automation = nullptr;
  ASSERT_EQ(S_OK, CoCreateInstance(kClass, nullptr, CLSCTX_LOCAL_SERVER, kInterface,
                                   reinterpret_cast<void**>(&automation)));
  OpenArgument notZero = {};
  notZero.bytes[15] = 1;
  LONG channelId = 0;
  LONG channelAux = 0;
  EXPECT_EQ(E_INVALIDARG, automation->Open(notZero, &channelId, &channelAux));
  OpenArgument zero = {};
  ASSERT_EQ(S_OK, automation->Open(zero, &channelId, &channelAux));
  VARIANT request, reply;
  request.vt = VT_EMPTY;
  reply.vt = VT_EMPTY;
  EXPECT_EQ(E_INVALIDARG, automation->Query(channelId + 1, kQueryProfileRequest, &request, &reply, &channelAux));
  EXPECT_EQ(VT_EMPTY, reply.vt);
  automation->Release();
  EXPECT_GE(messenger.WaitForLine("automation query 103 bad-channel"), 0) << messenger.LogText();
  EXPECT_GE(messenger.WaitForLine("automation open bad-argument"), 0);
}

TEST_F(StandinMessengerTest, WindowsShowReleaseOrBetaAndSignedInOrOut) {
  struct Case {
    bool beta, signedOut;
    const char* title;
  };
  const Case cases[] = {
      {false, false, "Yahoo! Messenger"},
      {true, false, "Yahoo! Messenger (BETA)"},
      {false, true, "Yahoo! Messenger"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title + std::string(c.signedOut ? " signed out" : " signed in"));
    MessengerOptions options;
    options.beta = c.beta;
    options.signedOut = c.signedOut;
    StartMessenger(options);
    HWND main = FindWindowA("yahooBuddyMain", nullptr);
    ASSERT_TRUE(main != nullptr);
    EXPECT_EQ(messenger.MainWindow(), main);
    char title[100] = {};
    GetWindowTextA(main, title, sizeof title);
    EXPECT_STREQ(c.title, title);
    HWND top = FindWindowExA(main, nullptr, "YTopWindow", nullptr);
    ASSERT_TRUE(top != nullptr);
    EXPECT_EQ(c.signedOut, FindWindowExA(top, nullptr, "YDisconnectedWindow", nullptr) != nullptr);
    EXPECT_TRUE(messenger.Stop());
    EXPECT_TRUE(FindWindowA("yahooBuddyMain", nullptr) == nullptr);
  }
}

TEST_F(StandinMessengerTest, ProfileKeyLivesAsLongAsTheMessengerUnlessKept) {
  MessengerOptions options;
  options.profile = "keytest";
  StartMessenger(options);
  EXPECT_TRUE(ProfileKeyExists("keytest"));
  EXPECT_TRUE(messenger.Stop());
  EXPECT_FALSE(ProfileKeyExists("keytest"));

  options.keepKey = true;
  StartMessenger(options);
  EXPECT_TRUE(messenger.Stop());
  EXPECT_TRUE(ProfileKeyExists("keytest"));

  // A key left behind is gone when a stand-in without one starts.
  options.keepKey = false;
  options.profileKey = false;
  StartMessenger(options);
  EXPECT_FALSE(ProfileKeyExists("keytest"));
}

void SetValue(HKEY key, const char* name, DWORD type, const std::string& data) {
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                          static_cast<DWORD>(data.size())));
}

// Replaces the values "4", "4_bin" and "4_DND" of someone's profile key; an
// empty one is left absent.
void WriteValues(const std::string& record, const std::string& recordBin, const std::string& dnd) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, ProfileKeyPath("someone").c_str(), 0, KEY_WRITE, &key));
  for (const char* name : {"4", "4_bin", "4_DND"}) RegDeleteValueA(key, name);
  if (!record.empty()) SetValue(key, "4", REG_BINARY, record);
  if (!recordBin.empty()) SetValue(key, "4_bin", REG_BINARY, recordBin);
  if (!dnd.empty()) SetValue(key, "4_DND", REG_DWORD, dnd);
  RegCloseKey(key);
}

TEST_F(StandinMessengerTest, ApplyCommandDecodesTheRecordItIsHanded) {
  StartMessenger(MessengerOptions());
  HWND main = messenger.MainWindow();
  ASSERT_TRUE(main != nullptr);
  const std::string zeroDword(4, '\0');
  const std::string oneDword("\x01\0\0\0", 4);
  struct Case {
    const char* name;
    std::string record;  // value "4", or absent when empty
    std::string recordBin;
    std::string dnd;     // REG_DWORD bytes, or absent when empty
    WPARAM command;
    std::string expected;
  };
  const std::string aB("A - B");
  const std::string withHeadphones = aB + kHeadphones + '\0';
  const Case cases[] = {
      {"headphones", withHeadphones, withHeadphones, zeroDword, 391, RecordLine(aB, 0, true)},
      {"idle icon", aB + kSep + "47" + kSep + "2" + '\0', aB + kSep + "47" + kSep + "2" + '\0', zeroDword, 391,
       RecordLine(aB, 2, false)},
      {"busy and headphones, beta", aB + kSep + "47" + kSep + "1" + kHeadphones + '\0',
       aB + kSep + "47" + kSep + "1" + kHeadphones + '\0', zeroDword, 392, RecordLine(aB, 1, true)},
      {"empty text", std::string(1, '\0'), std::string(1, '\0'), oneDword, 391, RecordLine("", 0, false, "1")},
      {"different 4_bin, no 4_DND", aB + '\0', "A - C" + std::string(1, '\0'), "", 391,
       RecordLine(aB, 0, false, "none", false)},
      {"groups in the wrong order", aB + kHeadphones + kSep + "47" + kSep + "1" + '\0', "", zeroDword, 391,
       "record error=malformed bytes=" + HexBytes(aB + kHeadphones + kSep + "47" + kSep + "1" + '\0')},
      {"trailing separator", aB + kSep + '\0', "", zeroDword, 391,
       "record error=malformed bytes=" + HexBytes(aB + kSep + '\0')},
      {"no terminator", aB, aB, zeroDword, 391, "record error=no-terminator bytes=" + HexBytes(aB)},
      {"bytes after the terminator", aB + '\0' + 'x', "", zeroDword, 391,
       "record error=trailing-bytes bytes=" + HexBytes(aB + '\0' + 'x')},
      {"no value", "", "", "", 391, "record error=no-value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(WriteValues(c.record, c.recordBin, c.dnd));

    const size_t before = messenger.Lines().size();
    SendMessageA(main, WM_COMMAND, c.command, 0);
    // Logged before SendMessage returned: no waiting.
    const std::vector<std::string> lines = messenger.Lines();
    ASSERT_GE(lines.size(), before + 2) << messenger.LogText();
    EXPECT_EQ("command " + std::to_string(c.command), lines[before]);
    EXPECT_EQ(c.expected, lines[before + 1]);
  }

  // The line for people: text that is valid UTF-8 as it is, other bytes (and
  // the backslash) escaped.
  struct ShownCase {
    std::string text;
    std::string shown;
  };
  const ShownCase shownCases[] = {
      {"\xE6\x98\x9F - \xD0\x96", "shown \xE6\x98\x9F - \xD0\x96"},
      {"Caf\xE9 \\", "shown Caf\\xe9 \\x5c"},
  };
  for (const ShownCase& c : shownCases) {
    SCOPED_TRACE(c.shown);
    ASSERT_NO_FATAL_FAILURE(WriteValues(c.text + '\0', c.text + '\0', zeroDword));
    const size_t before = messenger.Lines().size();
    SendMessageA(main, WM_COMMAND, 391, 0);
    const std::vector<std::string> lines = messenger.Lines();
    ASSERT_GE(lines.size(), before + 3) << messenger.LogText();
    EXPECT_EQ(RecordLine(c.text, 0, false), lines[before + 1]);
    EXPECT_EQ(c.shown, lines[before + 2]);
  }

  // Any other command is logged and nothing more; the closing one too.
  const size_t before = messenger.Lines().size();
  SendMessageA(main, WM_COMMAND, 376, 0);
  std::vector<double> times;
  for (int i = 0; i < 21; ++i) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    SendMessageA(main, WM_COMMAND, 100, 0);
    QueryPerformanceCounter(&end);
    times.push_back(Milliseconds(start, end));
  }
  std::printf("SendMessage round trip (logged command): median of %zu %.2f ms\n", times.size(), Median(times));
  const std::vector<std::string> lines = messenger.Lines();
  ASSERT_EQ(before + 22, lines.size()) << messenger.LogText();
  EXPECT_EQ("command 376", lines[before]);
  EXPECT_EQ("command 100", lines[before + 1]);
}

TEST_F(StandinMessengerTest, SlowApplyReadsTheRecordAfterTheSendersWaitRanOut) {
  MessengerOptions options;
  options.slowApplyMs = 3000;
  StartMessenger(options);
  HWND main = messenger.MainWindow();
  ASSERT_TRUE(main != nullptr);
  const std::string zeroDword(4, '\0');
  const std::string before("A - B", 6);
  const std::string after("A - C", 6);
  ASSERT_NO_FATAL_FAILURE(WriteValues(before, before, zeroDword));
  const size_t from = messenger.Lines().size();
  DWORD_PTR result = 0;
  EXPECT_EQ(0, SendMessageTimeoutA(main, WM_COMMAND, 391, 0, SMTO_BLOCK, 100, &result));
  // Still handling the command: what it reads is what is there once it is done.
  ASSERT_NO_FATAL_FAILURE(WriteValues(after, after, zeroDword));
  const int record = messenger.WaitForLine("record ", from, 15000);
  ASSERT_GE(record, 1) << messenger.LogText();
  const std::vector<std::string> lines = messenger.Lines();
  EXPECT_EQ("command 391", lines[record - 1]);
  EXPECT_EQ(RecordLine("A - C", 0, false), lines[record]);
}

TEST_F(StandinMessengerTest, HungWindowStillAnswersAutomation) {
  MessengerOptions options;
  options.hung = true;
  StartMessenger(options);
  ASSERT_GE(messenger.WaitForLine("hung"), 0) << messenger.LogText();
  DWORD_PTR result = 0;
  EXPECT_EQ(0, SendMessageTimeoutA(messenger.MainWindow(), WM_COMMAND, 100, 0, SMTO_BLOCK, 300, &result));
  const Reply reply = AskProfile();
  EXPECT_EQ(S_OK, reply.query);
  EXPECT_EQ(std::wstring(L"a\x04someone\x04" L"b"), reply.text);
  EXPECT_FALSE(messenger.Stop(500));  // terminated, not closed
  EXPECT_FALSE(ProfileKeyExists("someone"));
}

}  // namespace
