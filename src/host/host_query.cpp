// Questions to the host, answered on its UI thread (which is ours).
#include "host/host_query.h"

#include <windows.h>

#include "host/plugin_descriptor.h"

intptr_t QueryHost(intptr_t wParam, intptr_t request) {
  HWND host = g_descriptor.hostWindow;
  if (host == nullptr) return 0;
  return SendMessageA(host, WM_USER, static_cast<WPARAM>(wParam), static_cast<LPARAM>(request));
}
