// The exports: the descriptor for the host, and the host's uninstall entry.
#include "host/plugin_descriptor.h"

#include "host/lifecycle.h"

static const char kDescription[] = "Tavrin v0.2";

PluginDescriptor g_descriptor;

// The plug-in's words of the record are written here rather than by an
// initialiser: the record's only other bytes are the host's, and without
// initialised data of its own the DLL's file is a section smaller.
extern "C" __declspec(dllexport) PluginDescriptor* winampGetGeneralPurposePlugin() {
  g_descriptor.version = kPluginDescriptorVersion;
  g_descriptor.description = kDescription;
  g_descriptor.start = PluginStart;
  g_descriptor.configure = PluginConfigure;
  g_descriptor.stop = PluginStop;
  return &g_descriptor;
}

// The host passes the module, its preferences page (the owner of any
// question) and a parameter of its own; only the page is used.
extern "C" __declspec(dllexport) int __cdecl winampUninstallPlugin(HINSTANCE, HWND preferencesPage, int) {
  return PluginUninstall(preferencesPage);
}
