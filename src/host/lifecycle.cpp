// TODO: being written (lifecycle issue). Minimal, safe entries until then.
#include "host/lifecycle.h"

ModuleState g_module;

int PluginStart() { return 0; }
void PluginConfigure() {}
void PluginStop() {}
void StartTickTimer() {}
