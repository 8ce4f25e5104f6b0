// The settings dialog of the real plug-in, opened through its configure entry
// in the stand-in player and driven from inside its modal loop.
#include <gtest/gtest.h>

#include "lifecycle_harness.h"
#include "messenger_process.h"
#include "resources/resource_ids.h"

namespace {

using harness::DialogDriver;
using harness::PluginHost;
using Step = DialogDriver::Step;

const char kTitle[] = "Some Artist - Some Song";
const char kProductPage[] = "https://www.kestrima.com/Kestrima/?from=winamp";

// A step that does something once and moves on.
Step Do(std::function<void(HWND)> action) {
  return [action](HWND dialog) {
    action(dialog);
    return true;
  };
}

Step ClickButton(int control) {
  return Do([control](HWND dialog) { harness::Click(dialog, control); });
}

std::string ComboItem(HWND combo, int index) {
  char text[64] = "";
  if (SendMessageA(combo, CB_GETLBTEXTLEN, index, 0) < static_cast<LRESULT>(sizeof text))
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

// A plug-in started in the player with the stand-in messenger signed in, and
// the settings file of the test. Interval 0 keeps ticks about 10 ms apart.
class Dialog : public ::testing::Test {
 protected:
  // Empty settingsBytes leave the settings files as they are; prepare sets
  // up the player before the plug-in starts.
  void StartAll(const std::string& settingsBytes, const char* title = kTitle,
                const std::function<void(standin::StandInPlayer&)>& prepare = nullptr, bool start = true) {
    if (!settingsBytes.empty()) harness::WriteSettingsFile(settingsBytes);
    std::string error;
    if (!messenger.IsRunning()) {
      ASSERT_TRUE(messenger.Start(MessengerOptions(), 10000, &error)) << error;
    }
    host.reset(new PluginHost(harness::OneTrack(title, 245, 61000)));
    ASSERT_TRUE(host->Ok(&error)) << error;
    if (prepare) prepare(host->Player());
    if (start) {
      ASSERT_EQ(0, host->Start());
    }
  }
  void RunDialog(const std::vector<Step>& steps, DWORD timeoutMs = 15000) {
    driver.Run(&host->Player(), steps, timeoutMs);
    EXPECT_TRUE(driver.DialogSeen());
    EXPECT_TRUE(driver.AllStepsRan());
    EXPECT_FALSE(driver.TimedOut());
  }
  std::vector<std::string> Commands() const { return LinesStartingWith(messenger.Lines(), "command "); }
  std::vector<std::string> Records() const { return LinesStartingWith(messenger.Lines(), "record "); }

  void TearDown() override {
    if (host) host->Stop();
    host.reset();
    EXPECT_EQ(0, PluginHost::FaultsInPlugin());
  }

  harness::SettingsFileGuard settings;
  MessengerProcess messenger;
  std::unique_ptr<PluginHost> host;
  DialogDriver driver;
};

TEST_F(Dialog, OpensWithTheSettingsAndLimitsWhatCanBeTyped) {
  // whenNotPlaying 2, then videos hidden (not streams), 12 s, and the words.
  const std::string bytes = harness::SettingsBytes("Line one $A\r\nLine two $T", 1, 2, 0, 7, 1) +
                            std::string("\x02\x02\x0C" "Audiobooks; Private", 22) + '\0';
  ASSERT_NO_FATAL_FAILURE(StartAll(bytes));

  struct Seen {
    std::string caption, format, interval, legend, items[3], whenItems[3], delay, words;
    LRESULT itemCount = 0, selection = -1, formatLimit = 0, intervalLimit = 0, whenSelection = -1, delayLimit = 0,
            wordsLimit = 0;
    bool headphones = true, enabled = false, utf8 = false, hideStreams = true, hideVideos = false;
    HWND owner = nullptr;
    POINT origin = {};
    std::string typedInterval;
    size_t typedFormatLength = 0;
  } seen;
  RunDialog({
      Do([&](HWND dialog) {
        char caption[64] = "";
        GetWindowTextA(dialog, caption, sizeof caption);
        seen.caption = caption;
        seen.format = harness::ControlText(dialog, IDC_STATUS_FORMAT);
        seen.interval = harness::ControlText(dialog, IDC_INTERVAL);
        seen.legend = harness::ControlText(dialog, IDC_LEGEND);
        HWND combo = GetDlgItem(dialog, IDC_STATUS_ICON);
        seen.itemCount = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (int i = 0; i < 3; ++i) seen.items[i] = ComboItem(combo, i);
        seen.selection = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        HWND when = GetDlgItem(dialog, IDC_WHEN_NOT_PLAYING);
        for (int i = 0; i < 3; ++i) seen.whenItems[i] = ComboItem(when, i);
        seen.whenSelection = SendMessageA(when, CB_GETCURSEL, 0, 0);
        seen.headphones = harness::IsChecked(dialog, IDC_HEADPHONES);
        seen.enabled = harness::IsChecked(dialog, IDC_ENABLED);
        seen.utf8 = harness::IsChecked(dialog, IDC_UTF8);
        seen.formatLimit = SendDlgItemMessageA(dialog, IDC_STATUS_FORMAT, EM_GETLIMITTEXT, 0, 0);
        seen.intervalLimit = SendDlgItemMessageA(dialog, IDC_INTERVAL, EM_GETLIMITTEXT, 0, 0);
        seen.hideStreams = harness::IsChecked(dialog, IDC_HIDE_STREAMS);
        seen.hideVideos = harness::IsChecked(dialog, IDC_HIDE_VIDEOS);
        seen.delay = harness::ControlText(dialog, IDC_NEW_SONG_DELAY);
        seen.words = harness::ControlText(dialog, IDC_HIDDEN_PATH_WORDS);
        seen.delayLimit = SendDlgItemMessageA(dialog, IDC_NEW_SONG_DELAY, EM_GETLIMITTEXT, 0, 0);
        seen.wordsLimit = SendDlgItemMessageA(dialog, IDC_HIDDEN_PATH_WORDS, EM_GETLIMITTEXT, 0, 0);
        seen.owner = GetWindow(dialog, GW_OWNER);
        RECT rect;
        GetWindowRect(dialog, &rect);
        seen.origin = {rect.left, rect.top};
      }),
      // Typing more than the limits is refused.
      Do([&](HWND dialog) {
        harness::SetControlText(dialog, IDC_INTERVAL, "");
        for (char c : std::string("123")) SendDlgItemMessageA(dialog, IDC_INTERVAL, WM_CHAR, c, 0);
        seen.typedInterval = harness::ControlText(dialog, IDC_INTERVAL);
        harness::SetControlText(dialog, IDC_STATUS_FORMAT, "");
        for (int i = 0; i < 300; ++i) SendDlgItemMessageA(dialog, IDC_STATUS_FORMAT, WM_CHAR, 'x', 0);
        seen.typedFormatLength = harness::ControlText(dialog, IDC_STATUS_FORMAT).size();
      }),
      ClickButton(IDCANCEL),
  });

  EXPECT_EQ("Tavrin", seen.caption);
  EXPECT_EQ("Line one $A\r\nLine two $T", seen.format);
  EXPECT_EQ("7", seen.interval);
  for (const char* token :
       {"$A", "$T", "$I", "$D", "$B", "$S", "$L", "$P", "$R", "$Y", "$G", "$N", "$M", "$E", "$(", "$)"})
    EXPECT_NE(std::string::npos, seen.legend.find(token)) << token << " missing from the legend: " << seen.legend;
  EXPECT_EQ(3, seen.itemCount);
  EXPECT_EQ("None", seen.items[0]);
  EXPECT_EQ("Busy", seen.items[1]);
  EXPECT_EQ("Idle", seen.items[2]);
  EXPECT_EQ(2, seen.selection);
  EXPECT_EQ("Keep status", seen.whenItems[0]);
  EXPECT_EQ("Mark status", seen.whenItems[1]);
  EXPECT_EQ("Clear status", seen.whenItems[2]);
  EXPECT_EQ(2, seen.whenSelection);
  EXPECT_FALSE(seen.headphones);
  EXPECT_TRUE(seen.enabled);
  EXPECT_TRUE(seen.utf8);
  EXPECT_EQ(255, seen.formatLimit);
  EXPECT_EQ(2, seen.intervalLimit);
  EXPECT_EQ("12", seen.typedInterval);
  EXPECT_EQ(255u, seen.typedFormatLength);
  EXPECT_FALSE(seen.hideStreams);
  EXPECT_TRUE(seen.hideVideos);
  EXPECT_EQ("12", seen.delay);
  EXPECT_EQ("Audiobooks; Private", seen.words);
  EXPECT_EQ(2, seen.delayLimit);
  EXPECT_EQ(255, seen.wordsLimit);
  EXPECT_EQ(host->Player().Window(), seen.owner);
  // Placed at the owner's top-left corner, not centred. (Wine puts it at
  // the owner's window corner plus a pixel rather than at its client origin.)
  POINT clientOrigin = {0, 0};
  ClientToScreen(host->Player().Window(), &clientOrigin);
  RECT ownerRect;
  GetWindowRect(host->Player().Window(), &ownerRect);
  EXPECT_GE(seen.origin.x, ownerRect.left);
  EXPECT_LE(seen.origin.x, clientOrigin.x);
  EXPECT_GE(seen.origin.y, ownerRect.top);
  EXPECT_LE(seen.origin.y, clientOrigin.y);

  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(bytes), HexBytes(after)) << "Cancel must not write the file";
}

TEST_F(Dialog, SaveWithoutChangesRewritesTheFileAndOffersTheStatusAgain) {
  const std::string bytes = harness::SettingsBytes("$A - $T ($D) $P", 1, 0, 1, 0, 0);
  ASSERT_NO_FATAL_FAILURE(StartAll(bytes));
  ASSERT_GE(messenger.WaitForLine("record "), 0) << messenger.LogText();
  const std::string record = RecordLine("Some Artist - Some Song (4:05) [--|-------]", 0, true);
  // Whatever is on disk now, Save writes what the plug-in holds.
  harness::WriteSettingsFile("stale");

  RunDialog({ClickButton(IDC_SAVE)});
  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(bytes), HexBytes(after));

  // The old link said goodbye; the next tick offers the unchanged status anew.
  ASSERT_TRUE(standin::PumpUntil([&] { return Records().size() >= 2; }, 5000)) << messenger.LogText();
  EXPECT_EQ((std::vector<std::string>{"command 391", "command 376", "command 391"}), Commands()) << messenger.LogText();
  EXPECT_EQ((std::vector<std::string>{record, record}), Records());
}

TEST_F(Dialog, SaveStoresEveryControlAndTheNextTickUsesThem) {
  ASSERT_NO_FATAL_FAILURE(StartAll(harness::SettingsBytes("$A - $T ($D) $P", 1, 0, 1, 5, 0)));
  RunDialog({
      Do([this](HWND dialog) {
        // The status key flips the setting while the dialog is open: its box follows.
        EXPECT_TRUE(host->Player().PressHotkey("Tavrin_StatusOnOff"));
        EXPECT_FALSE(harness::IsChecked(dialog, IDC_ENABLED));
        harness::SetChecked(dialog, IDC_ENABLED, true);
        // Pasted from an IRC client: its colour codes' 0x03 would end the template in the file.
        harness::SetControlText(dialog, IDC_STATUS_FORMAT, "");
        SendDlgItemMessageA(dialog, IDC_STATUS_FORMAT, EM_REPLACESEL, FALSE,
                            reinterpret_cast<LPARAM>("Now:\x03" "04 $A\x0F"));
        EXPECT_EQ("Now:04 $A", harness::ControlText(dialog, IDC_STATUS_FORMAT));
        harness::SetControlText(dialog, IDC_INTERVAL, "0");
        SendDlgItemMessageA(dialog, IDC_STATUS_ICON, CB_SETCURSEL, 1, 0);
        harness::SetChecked(dialog, IDC_HEADPHONES, false);
        harness::SetChecked(dialog, IDC_UTF8, true);
        SendDlgItemMessageA(dialog, IDC_WHEN_NOT_PLAYING, CB_SETCURSEL, 1, 0);
        // Words the stand-in's file names do not hold, so the next tick still publishes.
        harness::SetChecked(dialog, IDC_HIDE_STREAMS, true);
        harness::SetControlText(dialog, IDC_NEW_SONG_DELAY, "1");
        harness::SetControlText(dialog, IDC_HIDDEN_PATH_WORDS, "Audiobooks;Private");
      }),
      ClickButton(IDC_SAVE),
  });
  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(harness::SettingsBytes("Now:04 $A", 1, 1, 0, 0, 1) + std::string("\x01\x01\x01", 3) +
                     "Audiobooks;Private" + '\0'),
            HexBytes(after));
  // Interval 0: the next record comes within moments (a second's delay for
  // the new song at most), not after 5 s.
  ASSERT_GE(messenger.WaitForLine("record ", 0, 4000), 0) << messenger.LogText();
  EXPECT_EQ(RecordLine("Now:04 Some Artist", 1, false), Records()[0]);
}

// Every way of leaving without saving: nothing changes, not the file, not the
// timer, not the link.
struct CancelCase {
  const char* name;
  std::function<void(HWND)> leave;
};

class DialogCancel : public Dialog, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(DialogCancel, ChangesNothing) {
  const std::string bytes = harness::SettingsBytes("$A - $T ($D) $P", 1, 0, 1, 0, 0);
  ASSERT_NO_FATAL_FAILURE(StartAll(bytes));
  ASSERT_GE(messenger.WaitForLine("record "), 0) << messenger.LogText();

  RunDialog({
      Do([](HWND dialog) {
        harness::SetControlText(dialog, IDC_STATUS_FORMAT, "Changed $A");
        harness::SetControlText(dialog, IDC_INTERVAL, "9");
        harness::SetChecked(dialog, IDC_ENABLED, false);
      }),
      Do(GetParam().leave),
  });
  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(bytes), HexBytes(after));
  // Still ticking at about 10 ms, with the same link: no goodbye, and the
  // unchanged status is not offered again.
  ASSERT_TRUE(host->WaitForTicks(10, 3000));
  EXPECT_EQ((std::vector<std::string>{"command 391"}), Commands()) << messenger.LogText();
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, DialogCancel,
    ::testing::Values(CancelCase{"CancelButton", [](HWND dialog) { harness::Click(dialog, IDCANCEL); }},
                      CancelCase{"EscapeKey",
                                 [](HWND dialog) {
                                   HWND focus = GetFocus();
                                   PostMessageA(focus != nullptr && IsChild(dialog, focus) ? focus : dialog,
                                                WM_KEYDOWN, VK_ESCAPE, 1);
                                 }},
                      CancelCase{"SystemMenuClose",
                                 [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }}),
    [](const ::testing::TestParamInfo<CancelCase>& info) { return info.param.name; });

TEST_F(Dialog, SaveWithStatusChangingDisabledStopsTicksAndTheLink) {
  ASSERT_NO_FATAL_FAILURE(StartAll(harness::SettingsBytes("$A - $T ($D) $P", 1, 0, 1, 0, 0)));
  ASSERT_GE(messenger.WaitForLine("record "), 0) << messenger.LogText();
  RunDialog({
      Do([](HWND dialog) {
        harness::SetChecked(dialog, IDC_ENABLED, false);
        // Texts set past the edits' limits: the record's bounds hold them.
        harness::SetControlText(dialog, IDC_NEW_SONG_DELAY, "150");
        harness::SetControlText(dialog, IDC_HIDDEN_PATH_WORDS, std::string(300, 'w'));
      }),
      ClickButton(IDC_SAVE),
  });
  const size_t ticks = host->Ticks();
  harness::PumpForTimerPeriods(5, 40);
  EXPECT_EQ(ticks, host->Ticks()) << "ticks went on after a disabling Save";
  host->Stop();
  host.reset();
  // The link went at Save with its goodbye; stop has no link left to send one.
  EXPECT_EQ((std::vector<std::string>{"command 391", "command 376"}), Commands()) << messenger.LogText();
  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(harness::SettingsBytes("$A - $T ($D) $P", 0, 0, 1, 0, 0) + std::string("\x00\x00\x63", 3) +
                     std::string(255, 'w') + '\0'),
            HexBytes(after));
}

// A path made unwritable for the test's lifetime: a folder stands where the
// file would be (root under Wine writes anywhere else).
class Unwritable {
 public:
  explicit Unwritable(const std::string& path, bool asFolder = true) : path(path), folder(asFolder) {
    if (folder) {
      CreateDirectoryA(path.c_str(), nullptr);
      return;
    }
    FILE* file = fopen(path.c_str(), "wb");  // a file where a folder would be
    if (file != nullptr) fclose(file);
  }
  ~Unwritable() { Release(); }
  void Release() {
    if (folder)
      RemoveDirectoryA(path.c_str());
    else
      DeleteFileA(path.c_str());
  }

 private:
  std::string path;
  bool folder;
};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The host's settings folder, for a test's lifetime; its Plugins folder and
// the per-user file go with it.
class HostSettingsFolder {
 public:
  HostSettingsFolder() : folder(Narrow(standin::ProgramDirectory()) + "dialog-test-host") {
    CleanUp();
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  ~HostSettingsFolder() { CleanUp(); }
  std::string Folder() const { return folder; }
  std::string Plugins() const { return folder + "\\Plugins"; }
  std::string PerUserFile() const { return Plugins() + "\\gen_Tavrin.ini"; }
  std::string PerUserBytes() const {
    FILE* file = fopen(PerUserFile().c_str(), "rb");
    if (file == nullptr) return "(missing)";
    char bytes[1024];
    size_t size = fread(bytes, 1, sizeof bytes, file);
    fclose(file);
    return std::string(bytes, size);
  }

 private:
  void CleanUp() {
    DeleteFileA(PerUserFile().c_str());
    DeleteFileA((Plugins() + "\\gen_Tavrin.tmp").c_str());
    RemoveDirectoryA(Plugins().c_str());
    DeleteFileA(Plugins().c_str());
    RemoveDirectoryA(folder.c_str());
  }
  std::string folder;
};

// The plug-in's folder is often not writable by the user: Save then keeps the
// settings in the host's settings folder, the next start loads them from
// there, and once the plug-in's folder takes them again the per-user file goes.
TEST_F(Dialog, SettingsGoPerUserWhileThePluginFolderIsNotWritableAndComeBack) {
  HostSettingsFolder hostFolder;
  auto withFolder = [&](standin::StandInPlayer& player) { player.SetSettingsDirectory(hostFolder.Folder()); };
  Unwritable beside(Narrow(harness::SettingsPath()));
  ASSERT_NO_FATAL_FAILURE(StartAll("", kTitle, withFolder));
  RunDialog({Do([](HWND dialog) {
               harness::SetControlText(dialog, IDC_STATUS_FORMAT, "Per user $A");
               harness::SetControlText(dialog, IDC_INTERVAL, "0");
             }),
             ClickButton(IDC_SAVE)});
  EXPECT_EQ(HexBytes(harness::SettingsBytes("Per user $A", 1, 0, 1, 0, 0)), HexBytes(hostFolder.PerUserBytes()));

  host->Stop();
  beside.Release();
  harness::WriteSettingsFile(harness::SettingsBytes("Stale $A", 1, 0, 1, 0, 0));
  ASSERT_NO_FATAL_FAILURE(StartAll("", kTitle, withFolder));
  const size_t recordsBefore = Records().size();
  ASSERT_TRUE(standin::PumpUntil([&] { return Records().size() > recordsBefore; }, 5000)) << messenger.LogText();
  EXPECT_EQ(RecordLine("Per user Some Artist", 0, true), Records().back());

  RunDialog({Do([](HWND dialog) { harness::SetControlText(dialog, IDC_STATUS_FORMAT, "Beside $A"); }),
             ClickButton(IDC_SAVE)});
  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(harness::SettingsBytes("Beside $A", 1, 0, 1, 0, 0)), HexBytes(after));
  EXPECT_EQ("(missing)", hostFolder.PerUserBytes());
}

// The text of a message box: its static controls, one after another.
std::string MessageBoxText(HWND box) {
  std::string text;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[16] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0) continue;
    char part[1024] = "";
    GetWindowTextA(child, part, sizeof part);
    text += part;
  }
  return text;
}

// Neither place takes the settings: the user is told, in a message box owned
// by the dialog, where and why; the new settings apply all the same.
TEST_F(Dialog, NeitherPlaceWritableShowsAMessageAndTheSettingsStillApply) {
  HostSettingsFolder hostFolder;
  Unwritable beside(Narrow(harness::SettingsPath()));
  Unwritable plugins(hostFolder.Plugins(), false);
  ASSERT_NO_FATAL_FAILURE(StartAll("", kTitle, [&](standin::StandInPlayer& player) {
    player.SetSettingsDirectory(hostFolder.Folder());
  }));
  std::string message;
  RunDialog({Do([](HWND dialog) {
               harness::SetControlText(dialog, IDC_STATUS_FORMAT, "Unsaved $A");
               harness::SetControlText(dialog, IDC_INTERVAL, "0");
               // Posted: the message box's own loop must run the next step.
               PostMessageA(GetDlgItem(dialog, IDC_SAVE), BM_CLICK, 0, 0);
             }),
             [&](HWND dialog) {
               HWND box = nullptr;
               for (HWND found = FindWindowExA(nullptr, nullptr, "#32770", nullptr); found != nullptr;
                    found = FindWindowExA(nullptr, found, "#32770", nullptr)) {
                 if (GetWindow(found, GW_OWNER) == dialog) box = found;
               }
               if (box == nullptr) return false;
               message = MessageBoxText(box);
               PostMessageA(box, WM_COMMAND, IDOK, 0);
               return true;
             }});
  EXPECT_NE(std::string::npos, message.find("could not be saved")) << message;
  EXPECT_NE(std::string::npos, message.find(Narrow(harness::SettingsPath()))) << message;
  EXPECT_NE(std::string::npos, message.find(hostFolder.PerUserFile())) << message;
  ASSERT_GE(messenger.WaitForLine(RecordLine("Unsaved Some Artist", 0, true)), 0) << messenger.LogText();
}

// A host that does not know the settings-folder request (it answers 0, 1 or
// another value below any address), or names a folder that does not fit a
// path, keeps the file beside the plug-in, as it always was.
struct FolderAnswer {
  intptr_t answer;      // 0: the folder below
  size_t folderLength;  // a folder of this many characters
};

class DialogWithoutSettingsFolder : public Dialog, public ::testing::WithParamInterface<FolderAnswer> {};

TEST_P(DialogWithoutSettingsFolder, KeepsTheFileBesideThePlugin) {
  ASSERT_NO_FATAL_FAILURE(StartAll(harness::SettingsBytes("Beside $A", 1, 0, 1, 0, 0), kTitle,
                                   [](standin::StandInPlayer& player) {
                                     if (GetParam().answer != 0) player.SetAnswerOverride(335, GetParam().answer);
                                     player.SetSettingsDirectory("C:\\" + std::string(GetParam().folderLength, 'f'));
                                   }));
  ASSERT_GE(messenger.WaitForLine(RecordLine("Beside Some Artist", 0, true)), 0) << messenger.LogText();
  RunDialog({Do([](HWND dialog) { harness::SetControlText(dialog, IDC_STATUS_FORMAT, "Saved $A"); }),
             ClickButton(IDC_SAVE)});
  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(harness::SettingsBytes("Saved $A", 1, 0, 1, 0, 0)), HexBytes(after));
}

INSTANTIATE_TEST_SUITE_P(Dialog, DialogWithoutSettingsFolder,
                         ::testing::Values(FolderAnswer{0, 257}, FolderAnswer{0, 400}, FolderAnswer{1, 0},
                                           FolderAnswer{2, 0}, FolderAnswer{0xFFFF, 0}));

// Removal from the host's Preferences, never started, started or with the
// settings dialog open: the question is owned by the page it is asked from,
// the settings (both files, and the temporary file a Save cut short left
// beside each) go only on Yes ("No" is the default: Enter keeps them), and
// the answer is 1 only from a host of 5.5 or later. The stop and unload that
// follow at once leave nothing running; after the answer 1 nothing runs even
// when the host unloads the plug-in without calling stop, and the messenger
// had its goodbye. Once the host has unloaded it, the hotkey service still
// reads the action a start registered (its name and id) and a press reaches
// no window. The dialog's row comes last: its stop pins the DLL.
enum class Running { kNever, kStarted, kDialogOpen };

struct UninstallCase {
  const char* name;
  Running running;
  bool yes;  // else Enter
  intptr_t hostVersion;
  int expected;
  bool hostStops;  // after the entry; else it unloads the plug-in at once
};

class DialogUninstall : public Dialog, public ::testing::WithParamInterface<UninstallCase> {};

TEST_P(DialogUninstall, AsksAboutTheSettingsAndLeavesNothingRunning) {
  const UninstallCase& c = GetParam();
  const std::wstring dll = harness::PluginPath();
  ASSERT_EQ(nullptr, GetModuleHandleW(dll.c_str())) << "an earlier test left the plug-in pinned: run this table first";
  HostSettingsFolder hostFolder;
  const std::string bytes = harness::SettingsBytes("$A", 1, 0, 1, 0, 0), perUser = hostFolder.PerUserFile();
  const std::string besideTemporary = Narrow(standin::ProgramDirectory()) + "gen_Tavrin.tmp";
  const std::string perUserTemporary = hostFolder.Plugins() + "\\gen_Tavrin.tmp";
  CreateDirectoryA(hostFolder.Plugins().c_str(), nullptr);
  harness::WriteSettingsFile(bytes, std::wstring(perUser.begin(), perUser.end()));
  for (const std::string& cutShort : {besideTemporary, perUserTemporary})
    harness::WriteSettingsFile("cut short", std::wstring(cutShort.begin(), cutShort.end()));
  ASSERT_NO_FATAL_FAILURE(StartAll(bytes, kTitle, [&](standin::StandInPlayer& player) {
    player.SetSettingsDirectory(hostFolder.Folder());
    player.SetAnswerOverride(0, c.hostVersion);
  }, c.running != Running::kNever));
  int answer = -1;
  std::string question;
  Step uninstallThenStop = [&](HWND page) {
    DialogDriver box;
    box.RunModal(page, [&] { answer = host->Player().UninstallPlugin(page); }, {Do([&](HWND shown) {
                   question = MessageBoxText(shown);
                   if (c.yes) harness::Click(shown, IDYES);
                   else PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
                 })});
    if (c.hostStops) host->Stop();
    return true;
  };
  if (c.running == Running::kDialogOpen) RunDialog({uninstallThenStop});
  else uninstallThenStop(host->Player().Window());
  EXPECT_EQ(c.expected, answer);
  EXPECT_NE(std::string::npos, question.find("settings")) << question;
  if (c.running == Running::kStarted) {
    EXPECT_GE(messenger.WaitForLine("command 376"), 0) << messenger.LogText();
  }
  const size_t ticks = host->Ticks();
  harness::PumpForTimerPeriods(5, 40);
  EXPECT_EQ(ticks, host->Ticks()) << "ticks after stop";
  host->UnloadWithoutStop();  // after the host's stop, or at once
  // Gone once the hand-over thread, which holds its own reference, has ended;
  // a stop inside the dialog's loop keeps it mapped for good (see StopEntry).
  EXPECT_TRUE(c.running == Running::kDialogOpen ||
              standin::PumpUntil([&] { return GetModuleHandleW(dll.c_str()) == nullptr; }, 5000));
  const auto actions = host->Player().ListHotkeyActions();
  EXPECT_EQ(c.running == Running::kNever ? 0u : 1u, actions.size());
  for (const auto& action : actions)
    EXPECT_EQ("Tavrin: status on/off|Tavrin_StatusOnOff", action.name + "|" + action.id);
  EXPECT_FALSE(host->Player().PressHotkey("Tavrin_StatusOnOff")) << "a press after unload reached a window";
  host.reset();
  harness::PumpForTimerPeriods(5, 40);  // unloaded: a timer left behind would fault
  std::string beside = "(missing)";
  harness::ReadSettingsFile(&beside);
  EXPECT_EQ(c.yes ? "(missing)" : bytes, beside);
  EXPECT_EQ(c.yes ? "(missing)" : bytes, hostFolder.PerUserBytes());
  for (const std::string& cutShort : {besideTemporary, perUserTemporary}) {
    EXPECT_EQ(!c.yes, GetFileAttributesA(cutShort.c_str()) != INVALID_FILE_ATTRIBUTES) << cutShort;
    DeleteFileA(cutShort.c_str());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, DialogUninstall,
    ::testing::Values(UninstallCase{"NeverStartedYes", Running::kNever, true, 0x5050, 1, true},
                      UninstallCase{"StartedYesUnloadedWithoutStop", Running::kStarted, true, 0x5050, 1, false},
                      UninstallCase{"StartedNoByEnterStoppedAndUnloaded", Running::kStarted, false, 0x5050, 1, true},
                      UninstallCase{"DialogOpenNoByEnter", Running::kDialogOpen, false, 0x504F, 0, true}),
    [](const ::testing::TestParamInfo<UninstallCase>& info) { return info.param.name; });

// The host stops its plug-ins from inside the dialog's modal loop when the
// user closes it with the dialog up: the dialog ends with the plug-in, and a
// Save that still arrives changes nothing: no file, no timer, no link. Once
// the plug-in is unloaded, a timer left behind would run unmapped code. (A
// stop inside one of the plug-in's calls pins its DLL for the rest of the
// process: these run after the tables that watch it go.)
struct StopCase {
  const char* name;
  bool saveAfterStop;
};

class DialogStop : public Dialog, public ::testing::WithParamInterface<StopCase> {};

TEST_P(DialogStop, EndsTheDialogAndNothingStartsAgain) {
  const std::string bytes = harness::SettingsBytes("$A - $T ($D) $P", 1, 0, 1, 0, 0);
  ASSERT_NO_FATAL_FAILURE(StartAll(bytes));
  ASSERT_GE(messenger.WaitForLine("record "), 0) << messenger.LogText();
  const bool save = GetParam().saveAfterStop;
  driver.Run(&host->Player(),
             {Do([&](HWND dialog) {
               harness::SetControlText(dialog, IDC_STATUS_FORMAT, "Changed $A");
               host->Stop();
               if (save) harness::Click(dialog, IDC_SAVE);
             })},
             10000);
  EXPECT_TRUE(driver.DialogSeen());
  EXPECT_FALSE(driver.TimedOut()) << "the dialog outlived stop";
  const size_t ticks = host->Ticks();
  harness::PumpForTimerPeriods(5, 40);
  EXPECT_EQ(ticks, host->Ticks()) << "ticks after stop";
  host.reset();
  harness::PumpForTimerPeriods(5, 40);
  EXPECT_EQ((std::vector<std::string>{"command 391", "command 376"}), Commands()) << messenger.LogText();
  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(bytes), HexBytes(after));
}

INSTANTIATE_TEST_SUITE_P(Dialog, DialogStop,
                         ::testing::Values(StopCase{"Stop", false}, StopCase{"StopThenSave", true}),
                         [](const ::testing::TestParamInfo<StopCase>& info) { return info.param.name; });

void SendKeys(std::initializer_list<std::pair<WORD, bool>> keys) {
  std::vector<INPUT> inputs;
  for (const auto& key : keys) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key.first;
    input.ki.dwFlags = key.second ? 0 : KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A step that waits until the preview shows text (it follows a change at
// once, and the host's answers within a second).
Step PreviewShows(const std::wstring& text, std::wstring* seen) {
  return [text, seen](HWND dialog) {
    wchar_t shown[1024] = L"";
    GetWindowTextW(GetDlgItem(dialog, IDC_PREVIEW), shown, 1024);
    return (*seen = shown) == text;
  };
}

// The preview shows what a tick would hand the messenger, with the settings
// as they stand in the dialog, as the user types: the text (line breaks as
// " / ", a section gone, the elapsed time), why a hidden entry shows nothing,
// and with the UTF-8 box a Japanese title as itself. Nothing is published
// (the plug-in runs disabled) and Cancel leaves the file as it was.
TEST_F(Dialog, ThePreviewShowsWhatTheTemplateGivesAsItIsTyped) {
  const std::string bytes = harness::SettingsBytes("$A", 0, 0, 1, 0, 0);
  ASSERT_NO_FATAL_FAILURE(StartAll(bytes));
  std::wstring seen;
  RunDialog({PreviewShows(L"(status changing is off)", &seen),
             ClickButton(IDC_ENABLED),
             PreviewShows(L"Some Artist", &seen),
             Do([](HWND dialog) {
               harness::SetControlText(dialog, IDC_STATUS_FORMAT, "");
               SendDlgItemMessageA(dialog, IDC_STATUS_FORMAT, EM_REPLACESEL, FALSE,
                                   reinterpret_cast<LPARAM>("$A - $T$( from $R$)\r\nat $E"));
             }),
             PreviewShows(L"Some Artist - Some Song / at 1:01", &seen),
             Do([](HWND dialog) { harness::SetControlText(dialog, IDC_HIDDEN_PATH_WORDS, "Music"); }),
             PreviewShows(L"(hidden: the file's path holds \"Music\")", &seen),
             Do([this](HWND dialog) {
               harness::SetControlText(dialog, IDC_HIDDEN_PATH_WORDS, "");
               harness::Click(dialog, IDC_UTF8);
               host->Player().SetScript(harness::OneTrack("星野ミナト - 夜明けの駅", 245, 61000));
             }),
             PreviewShows(L"星野ミナト - 夜明けの駅 / at 1:01", &seen),
             ClickButton(IDCANCEL)});
  EXPECT_TRUE(driver.AllStepsRan()) << "the preview showed: " << std::string(seen.begin(), seen.end());
  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(bytes), HexBytes(after));
  EXPECT_TRUE(Commands().empty() && Records().empty()) << messenger.LogText();
}

TEST_F(Dialog, EnterPressesSaveAndCtrlEnterBreaksTheLine) {
  ASSERT_NO_FATAL_FAILURE(StartAll(harness::SettingsBytes("$A", 1, 0, 1, 0, 0)));
  RunDialog({
      Do([](HWND dialog) {
        SetForegroundWindow(dialog);
        HWND edit = GetDlgItem(dialog, IDC_STATUS_FORMAT);
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 2, 2);
        SendKeys({{VK_CONTROL, true}, {VK_RETURN, true}, {VK_RETURN, false}, {VK_CONTROL, false}});
      }),
      [](HWND dialog) { return harness::ControlText(dialog, IDC_STATUS_FORMAT) == "$A\r\n"; },
      Do([](HWND dialog) {
        SendMessageA(GetDlgItem(dialog, IDC_STATUS_FORMAT), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("$T"));
        SendKeys({{VK_RETURN, true}, {VK_RETURN, false}});
      }),
  });
  std::string after;
  ASSERT_TRUE(harness::ReadSettingsFile(&after));
  EXPECT_EQ(HexBytes(harness::SettingsBytes("$A\r\n$T", 1, 0, 1, 0, 0)), HexBytes(after));
}

#ifdef TAVRIN_FAKE_BROWSER
// Wine hands web addresses to winebrowser, which starts the programs named in
// HKCU\Software\Wine\WineBrowser "Browsers"; ours writes down each address.
class FakeBrowser {
 public:
  FakeBrowser() {
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    char old[1024];
    DWORD size = sizeof old;
    hadOld = RegQueryValueExA(key, "Browsers", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) ==
             ERROR_SUCCESS;
    if (hadOld) oldValue.assign(old, size > 0 ? size - 1 : 0);
    const std::string program = TAVRIN_FAKE_BROWSER;
    RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                   static_cast<DWORD>(program.size() + 1));
    logPath = "Z:" + program + ".log";
    DeleteFileA(logPath.c_str());
  }
  ~FakeBrowser() {
    if (hadOld)
      RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(oldValue.c_str()),
                     static_cast<DWORD>(oldValue.size() + 1));
    else
      RegDeleteValueA(key, "Browsers");
    RegCloseKey(key);
    DeleteFileA(logPath.c_str());
  }
  std::vector<std::string> Opened() const {
    std::vector<std::string> lines;
    FILE* file = fopen(logPath.c_str(), "rb");
    if (file == nullptr) return lines;
    char line[1024];
    while (fgets(line, sizeof line, file) != nullptr) {
      std::string text = line;
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      lines.push_back(text);
    }
    fclose(file);
    return lines;
  }

 private:
  HKEY key = nullptr;
  bool hadOld = false;
  std::string oldValue;
  std::string logPath;
};

TEST_F(Dialog, ProductLinkOpensThePageAndTheDialogStays) {
  FakeBrowser browser;
  ASSERT_NO_FATAL_FAILURE(StartAll(harness::SettingsBytes("$A", 1, 0, 1, 0, 0)));
  bool openAfterClick = false, openAfterDoubleClick = false;
  RunDialog(
      {
          Do([](HWND dialog) {
            HWND link = GetDlgItem(dialog, IDC_PRODUCT_LINK);
            PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
          }),
          [&](HWND dialog) {
            openAfterClick = IsWindowVisible(dialog) != FALSE;
            return browser.Opened().size() >= 1;
          },
          // A double click: the click and the double-click notification each open it.
          Do([](HWND dialog) {
            HWND link = GetDlgItem(dialog, IDC_PRODUCT_LINK);
            PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            PostMessageA(link, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
          }),
          [&](HWND dialog) {
            openAfterDoubleClick = IsWindowVisible(dialog) != FALSE;
            return browser.Opened().size() >= 3;
          },
          ClickButton(IDCANCEL),
      },
      40000);
  EXPECT_TRUE(openAfterClick);
  EXPECT_TRUE(openAfterDoubleClick);
  EXPECT_EQ((std::vector<std::string>{kProductPage, kProductPage, kProductPage}), browser.Opened());
}
#endif

}  // namespace
