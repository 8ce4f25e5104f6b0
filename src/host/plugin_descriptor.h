// The record the host reads through the one export and fills in before start.
#pragma once

#include <windows.h>

#include <stddef.h>

struct PluginDescriptor {
  int version;              // 0x10
  const char* description;  // "Tavrin v0.2"
  int (*start)();           // 0 for success
  void (*configure)();
  void (*stop)();
  HWND hostWindow;          // written by the host before start
  HINSTANCE moduleInstance; // written by the host before start
};

#if defined(_WIN32) && !defined(_WIN64)
// The 32-bit host reads seven 32-bit words.
static_assert(sizeof(PluginDescriptor) == 28, "descriptor is seven 32-bit words");
static_assert(offsetof(PluginDescriptor, description) == 4, "description is word 2");
static_assert(offsetof(PluginDescriptor, start) == 8, "start is word 3");
static_assert(offsetof(PluginDescriptor, configure) == 12, "configure is word 4");
static_assert(offsetof(PluginDescriptor, stop) == 16, "stop is word 5");
static_assert(offsetof(PluginDescriptor, hostWindow) == 20, "host window is word 6");
static_assert(offsetof(PluginDescriptor, moduleInstance) == 24, "module instance is word 7");
#endif

constexpr int kPluginDescriptorVersion = 0x10;
extern PluginDescriptor g_descriptor;

extern "C" __declspec(dllexport) PluginDescriptor* winampGetGeneralPurposePlugin();
// 1: the host may stop, unload and delete the plug-in now; 0: at its next start.
extern "C" __declspec(dllexport) int __cdecl winampUninstallPlugin(HINSTANCE module, HWND preferencesPage, int param);
