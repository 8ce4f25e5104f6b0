// The exports: the descriptor for the host, and the host's uninstall entry.
#include "host/plugin_descriptor.h"

#include "host/lifecycle.h"

static const char kDescription[] = "Tavrin v0.2";

PluginDescriptor g_descriptor = {
    kPluginDescriptorVersion, kDescription, PluginStart, PluginConfigure, PluginStop, nullptr, nullptr,
};

extern "C" __declspec(dllexport) PluginDescriptor* winampGetGeneralPurposePlugin() { return &g_descriptor; }

// The host passes the module, its preferences page (the owner of any
// question) and a parameter of its own; only the page is used.
extern "C" __declspec(dllexport) int __cdecl winampUninstallPlugin(HINSTANCE, HWND preferencesPage, int) {
  return PluginUninstall(preferencesPage);
}
