// The settings file beside the plug-in, or in the host's per-user settings folder.
#include "settings/settings_file.h"

#include <io.h>
#include <string.h>

#include "common/bounded_writer.h"
#include "platform/text.h"

void FindSettingsLocations(const char* modulePath, const char* hostFolder, SettingsLocations* locations) {
  if (modulePath == nullptr ||
      !SettingsPathFromModulePath(modulePath, locations->besidePlugin, sizeof locations->besidePlugin)) {
    locations->besidePlugin[0] = '\0';
  }
  if (modulePath == nullptr ||
      !PerUserSettingsPath(hostFolder, modulePath, locations->perUser, sizeof locations->perUser)) {
    locations->perUser[0] = '\0';
  }
}

static FILE* OpenFile(const char* path, const char* mode) { return path[0] != '\0' ? fopen(path, mode) : nullptr; }

void LoadSettingsFile(const SettingsLocations& locations, PluginSettings* settings) {
  FILE* file = OpenFile(locations.perUser, "rb");
  if (file == nullptr) file = OpenFile(locations.besidePlugin, "rb");
  if (file == nullptr) {
    ResetSettings(settings);
    return;
  }
  ReadSettings(file, settings);
  fclose(file);
}

// The temporary file beside a settings file: the same name with "tmp" for
// its "ini", so it fits wherever the settings file's path does.
static bool TemporaryPathFor(const char* path, char* temporary) {
  size_t length = strlen(path);
  if (length < 4 || length >= kSettingsPathSize || memcmp(path + length - 4, ".ini", 4) != 0) return false;
  memcpy(temporary, path, length + 1);
  memcpy(temporary + length - 3, "tmp", 3);
  return true;
}

enum class FileIdentity { kKnown, kMissing, kUnknown };

// What makes two paths one file however they are spelled (case, "..", a
// short name, a separator more): its volume and its index on it.
static FileIdentity IdentifyFile(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileIdentity::kMissing
                                                                          : FileIdentity::kUnknown;
  }
  BOOL known = GetFileInformationByHandle(file, info);
  CloseHandle(file);
  return known ? FileIdentity::kKnown : FileIdentity::kUnknown;
}

// The system's reason for the step that just failed, or fallback when it
// gave none.
static DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error != 0 ? error : fallback;
}

static DWORD MoveInPlace(const char* temporary, const char* path) {
  return MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : GetLastError();
}

// Puts the written temporary file in place of the file at path, keeping what
// the user set on the old one: ReplaceFileA keeps its permissions and streams
// on Windows, and its attributes are given back here as well (Wine's drops
// hidden and system). A read-only file is refused as a move over it is; where
// no file can be told (a folder of its name, say), the move says why. Returns
// 0 or why not; *temporaryKept when the new settings are left only under the
// temporary name.
static DWORD PutInPlace(const char* temporary, const char* path, bool* temporaryKept) {
  BY_HANDLE_FILE_INFORMATION old;
  if (IdentifyFile(path, &old) != FileIdentity::kKnown) return MoveInPlace(temporary, path);
  if (old.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
  if (!ReplaceFileA(path, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    // Without a backup name these two leave no file at path and the new one
    // under its temporary name; any other failure leaves both as they were.
    const DWORD error = GetLastError();
    if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) return error;
    const DWORD moveError = MoveInPlace(temporary, path);
    *temporaryKept = moveError != 0;
    if (moveError != 0) return moveError;
  }
  SetFileAttributesA(path, old.dwFileAttributes);
  return 0;
}

// Writes the whole file under a temporary name in the same folder, on the
// disk, and only then puts it in place of the file at path: a full disk, a
// quota or a file held open leaves the previous settings byte for byte, and
// no temporary file behind unless it alone holds the new settings. On
// failure, *error says why.
static bool ReplaceFileAt(const char* path, const PluginSettings& settings, DWORD* error) {
  char temporary[kSettingsPathSize];
  if (path[0] == '\0' || !TemporaryPathFor(path, temporary)) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  FILE* file = fopen(temporary, "wb");
  if (file == nullptr) {
    *error = LastErrorOr(ERROR_ACCESS_DENIED);
    return false;
  }
  // A full disk may only show when the buffered bytes are flushed.
  const bool written = WriteSettings(settings, file) && fflush(file) == 0 && _commit(_fileno(file)) == 0;
  bool temporaryKept = false;
  *error = fclose(file) == 0 && written ? PutInPlace(temporary, path, &temporaryKept) : LastErrorOr(ERROR_WRITE_FAULT);
  if (*error == 0) return true;
  if (!temporaryKept) DeleteFileA(temporary);
  return false;
}

// After a Save beside the plug-in, the per-user file (which loading reads
// first) must not keep older settings. In the usual installation it is the
// very file just written: the host's settings folder is the player's own, and
// its Plugins folder holds the plug-in. So only a file proved to be another
// is removed; one that cannot be told apart or removed gets the new settings
// too. Returns false, with *error, when it keeps older ones.
static bool RetirePerUserFile(const SettingsLocations& locations, const PluginSettings& settings, DWORD* error) {
  const char* perUser = locations.perUser;
  if (perUser[0] == '\0') return true;
  BY_HANDLE_FILE_INFORMATION perUserFile;
  BY_HANDLE_FILE_INFORMATION writtenFile;
  const FileIdentity found = IdentifyFile(perUser, &perUserFile);
  if (found == FileIdentity::kMissing) return true;
  if (found == FileIdentity::kKnown && IdentifyFile(locations.besidePlugin, &writtenFile) == FileIdentity::kKnown) {
    if (perUserFile.dwVolumeSerialNumber == writtenFile.dwVolumeSerialNumber &&
        perUserFile.nFileIndexHigh == writtenFile.nFileIndexHigh &&
        perUserFile.nFileIndexLow == writtenFile.nFileIndexLow) {
      return true;
    }
    if (DeleteFileA(perUser)) return true;
    const DWORD why = GetLastError();
    if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) return true;
  }
  return ReplaceFileAt(perUser, settings, error);
}

SaveReport SaveSettingsFile(const SettingsLocations& locations, const PluginSettings& settings) {
  SaveReport report = {false, 0, 0};
  if (ReplaceFileAt(locations.besidePlugin, settings, &report.besideError)) {
    report.saved = RetirePerUserFile(locations, settings, &report.perUserError);
    return report;
  }
  if (locations.perUser[0] == '\0') return report;
  // The Plugins folder under the host's settings folder may not exist yet.
  char folder[kSettingsPathSize];
  memcpy(folder, locations.perUser, sizeof folder);
  ptrdiff_t separator = FindLastChar(folder, '\\');
  if (separator > 0) {
    folder[separator] = '\0';
    CreateDirectoryA(folder, nullptr);
  }
  report.saved = ReplaceFileAt(locations.perUser, settings, &report.perUserError);
  return report;
}

// "path: reason", one line of the message.
static void AppendFailure(const char* path, DWORD error, BoundedWriter* message) {
  const char* shown = path[0] != '\0' ? path : "(no path)";
  message->AppendPart(shown, strlen(shown));
  message->AppendPart(": ", 2);
  char reason[256];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                reason, sizeof reason, nullptr);
  while (length > 0 && (reason[length - 1] == '\r' || reason[length - 1] == '\n' || reason[length - 1] == ' '))
    --length;
  if (length == 0) {
    BoundedWriter code(reason, sizeof reason);
    code.AppendText("error ");
    code.AppendDecimal(error);
    length = static_cast<DWORD>(code.Length());
  }
  message->AppendPart(reason, length);
  message->AppendPart("\n", 1);
}

void ShowSaveFailure(HWND owner, const SettingsLocations& locations, const SaveReport& report) {
  char text[1024];
  BoundedWriter message(text, sizeof text);
  static const char kIntro[] = "The settings could not be saved.\n\n";
  static const char kOutro[] = "\nThey apply until the player closes.";
  message.AppendPart(kIntro, sizeof kIntro - 1);
  if (report.besideError == 0) {
    static const char kShadowed[] = ": saved, but the file below is read first\n";
    message.AppendPart(locations.besidePlugin, strlen(locations.besidePlugin));
    message.AppendPart(kShadowed, sizeof kShadowed - 1);
  } else {
    AppendFailure(locations.besidePlugin, report.besideError, &message);
  }
  if (report.perUserError != 0) AppendFailure(locations.perUser, report.perUserError, &message);
  message.AppendPart(kOutro, sizeof kOutro - 1);
  message.CutAtCharBoundary(FitText);
  MessageBoxA(owner, text, "Tavrin", MB_OK | MB_ICONWARNING);
}

// 0 when the file is gone, or never was.
static DWORD DeleteFileAt(const char* path) {
  if (path[0] == '\0' || DeleteFileA(path)) return 0;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
}

void DeleteSettingsFiles(HWND owner, const SettingsLocations& locations) {
  // Both paths often name one file (when the host keeps its settings in its
  // own folder, the one that holds Plugins): deleting it twice is harmless,
  // and one spelling is tried once, so that a failure is told once. The
  // temporary file of a Save cut short goes with each.
  const char* paths[2] = {locations.besidePlugin,
                          strcmp(locations.perUser, locations.besidePlugin) != 0 ? locations.perUser : ""};
  char text[1024];
  BoundedWriter message(text, sizeof text);
  message.AppendText("The settings could not be deleted.\n\n");
  bool failed = false;
  for (const char* path : paths) {
    char temporary[kSettingsPathSize];
    const char* files[2] = {path, TemporaryPathFor(path, temporary) ? temporary : ""};
    for (const char* file : files) {
      const DWORD error = DeleteFileAt(file);
      if (error == 0) continue;
      AppendFailure(file, error, &message);
      failed = true;
    }
  }
  if (!failed) return;
  message.CutAtCharBoundary(FitText);
  MessageBoxA(owner, text, "Tavrin", MB_OK | MB_ICONWARNING);
}
