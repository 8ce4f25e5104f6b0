// Test support: runs the stand-in messenger (standin_messenger.exe, beside the
// test program) with chosen options and a fresh log, and reads what it saw.
//
// The stand-in writes one line per event to its log (format in
// standins/messenger/README.md). A command it receives through SendMessage is
// logged, with the record it decoded, before SendMessage returns, so a test
// can read Lines() right after the call that sent it.
//
// Every wait is bounded and pumps the calling thread's messages, so a test
// thread that owns windows or a COM apartment keeps answering meanwhile.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct MessengerOptions {
  std::string profile = "someone";  // ANSI; the profile key and query 103's second field
  bool signedOut = false;           // adds the "YDisconnectedWindow" child
  bool beta = false;                // title "Yahoo! Messenger (BETA)"
  std::string title;                // ANSI; the main window's title instead
  bool profileKey = true;           // false: the profile key is made sure to be absent
  bool keepKey = false;             // leave the profile key (and its values) behind at exit
  // ok | create-fails | open-fails | query-fails | non-bstr | long-reply
  std::string automation = "ok";
  bool hung = false;     // the window thread stops answering once ready; COM still answers (see below)
  // Like hung, but only once the first open operation has succeeded, so that a
  // link can become ready before the hang; the log says "hung" when it begins.
  bool hungAfterOpen = false;
  int hungSeconds = 0;   // with hung or hungAfterOpen: resume after this many seconds (0: never)
  // Serve the automation object from the window thread's single-threaded
  // apartment: a hung window thread then hangs every COM call as well.
  bool comOnWindowThread = false;
  // When set, each apply command (391/392) first sends this window WM_APP
  // (wParam: the command id) and waits for it, then reads the record: a
  // messenger that calls back into the sender while the sender waits.
  HWND notifyWindow = nullptr;
  bool notifyOnClosing = false;  // with notifyWindow: the closing command 376 calls back as well
  // Each apply command (391/392) waits this long in the window procedure
  // (after the call-back, if any) before it reads the record: a sender's
  // bounded wait can run out while the command is still being handled.
  int slowApplyMs = 0;
};

class MessengerProcess {
 public:
  MessengerProcess();
  // Stops the stand-in if it still runs (see Stop) and removes the log file.
  ~MessengerProcess();

  // Starts the stand-in and waits until it has its windows, its class object
  // and its profile key. False (with the reason in *error) if it exits or is
  // not ready within timeoutMs; a half-started process is terminated.
  bool Start(const MessengerOptions& options, DWORD timeoutMs = 10000, std::string* error = nullptr);

  // Asks the main window to close (WM_CLOSE) and waits up to timeoutMs; then
  // terminates the process. True if it ended by itself. A terminated stand-in
  // cannot remove its profile key, so Stop removes it (unless keepKey).
  bool Stop(DWORD timeoutMs = 5000);

  bool IsRunning() const;
  DWORD ExitCode() const;  // STILL_ACTIVE while running
  DWORD ProcessId() const;
  HWND MainWindow() const;  // the "yahooBuddyMain" window of this process, or null
  const MessengerOptions& Options() const { return options; }

  // Every log line so far, oldest first, without line ends.
  std::vector<std::string> Lines() const;
  // Pumps the calling thread's messages until a log line at index >= from
  // starts with prefix; returns that line's index, or -1 after timeoutMs.
  int WaitForLine(const std::string& prefix, size_t from = 0, DWORD timeoutMs = 5000) const;
  // All lines joined with '\n', for failure messages.
  std::string LogText() const;

 private:
  MessengerProcess(const MessengerProcess&) = delete;
  MessengerProcess& operator=(const MessengerProcess&) = delete;

  MessengerOptions options;
  PROCESS_INFORMATION process = {};
  std::wstring logPath;
};

// The lines of `lines` that start with prefix, in order.
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix);

// The log line the stand-in writes for a well-formed record, for comparisons:
// text is the record's text bytes (ANSI or UTF-8, as written), icon 0/1/2,
// dnd the "4_DND" value as the log shows it ("0", or "none" when absent).
std::string RecordLine(const std::string& text, int icon, bool headphones, const std::string& dnd = "0",
                       bool binEqual = true);

// Lower-case hex of bytes, two digits each, no separators (the log's form).
std::string HexBytes(const std::string& bytes);

// The profile key: HKCU "Software\Yahoo\Pager\profiles\" + profile + "\Custom Msgs".
std::string ProfileKeyPath(const std::string& profile);

struct RegistryValue {
  std::string name;
  DWORD type = 0;
  std::string data;  // raw bytes
};

// The values under the profile key, sorted by name; false if the key is absent.
bool ReadProfileValues(const std::string& profile, std::vector<RegistryValue>* values);
bool ProfileKeyExists(const std::string& profile);
// Removes "Software\Yahoo\Pager\profiles\" + profile with everything below it.
void DeleteProfileKey(const std::string& profile);
