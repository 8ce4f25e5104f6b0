// The one export and the descriptor it hands to the host.
#include "host/plugin_descriptor.h"

#include "host/lifecycle.h"

static const char kDescription[] = "Tavrin v0.2";

PluginDescriptor g_descriptor = {
    kPluginDescriptorVersion, kDescription, PluginStart, PluginConfigure, PluginStop, nullptr, nullptr,
};

extern "C" __declspec(dllexport) PluginDescriptor* winampGetGeneralPurposePlugin() { return &g_descriptor; }
