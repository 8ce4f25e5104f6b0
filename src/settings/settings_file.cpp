// The settings file beside the plug-in, or in the host's per-user settings folder.
#include "settings/settings_file.h"

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

// Writes the file at path; on failure, *error says why.
static bool WriteFileAt(const char* path, const PluginSettings& settings, DWORD* error) {
  if (path[0] == '\0') {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  SetLastError(0);
  FILE* file = fopen(path, "wb");
  if (file != nullptr) {
    bool written = WriteSettings(settings, file);
    // A full disk may only show when the buffered bytes are flushed.
    if (fclose(file) == 0 && written) return true;
  }
  *error = GetLastError();
  if (*error == 0) *error = file != nullptr ? ERROR_WRITE_FAULT : ERROR_ACCESS_DENIED;
  return false;
}

SaveReport SaveSettingsFile(const SettingsLocations& locations, const PluginSettings& settings) {
  SaveReport report = {false, 0, 0};
  if (WriteFileAt(locations.besidePlugin, settings, &report.besideError)) {
    if (locations.perUser[0] != '\0') DeleteFileA(locations.perUser);
    report.saved = true;
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
  report.saved = WriteFileAt(locations.perUser, settings, &report.perUserError);
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
  AppendFailure(locations.besidePlugin, report.besideError, &message);
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
  // and one spelling is tried once, so that a failure is told once.
  DWORD besideError = DeleteFileAt(locations.besidePlugin);
  DWORD perUserError = strcmp(locations.perUser, locations.besidePlugin) != 0 ? DeleteFileAt(locations.perUser) : 0;
  if (besideError == 0 && perUserError == 0) return;
  char text[1024];
  BoundedWriter message(text, sizeof text);
  message.AppendText("The settings could not be deleted.\n\n");
  if (besideError != 0) AppendFailure(locations.besidePlugin, besideError, &message);
  if (perUserError != 0) AppendFailure(locations.perUser, perUserError, &message);
  message.CutAtCharBoundary(FitText);
  MessageBoxA(owner, text, "Tavrin", MB_OK | MB_ICONWARNING);
}
