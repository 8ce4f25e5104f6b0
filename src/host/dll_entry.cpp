// The DLL's entry point, in place of MinGW's start-up code (linked with
// -nostartfiles). That code would set up what this DLL does not use: thread-
// local storage and its callbacks, an atexit table, runtime pseudo-relocations
// and the registration of unwind tables for exceptions; with its error
// reporting (and the printf it pulls in) it made up over a third of the DLL.
// msvcrt.dll, whose malloc and file functions the plug-in calls, initialises
// itself when it is loaded.
//
// What is left to do is run the static constructors the linker gathered, as
// the start-up code did (there are none today). Two things cannot come in
// unnoticed: a static object with a destructor (it is registered with atexit,
// which only that start-up code provides to a DLL) and data imported without
// dllimport (it needs the pseudo-relocation pass) both make the link fail.
#include <windows.h>

#include <stddef.h>

// Defined by the linker: -1, the constructors, 0.
extern "C" void (*__CTOR_LIST__[])();

// They run last to first, the order GCC's own start-up uses.
static void RunStaticConstructors() {
  size_t count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) ++count;
  for (; count > 0; --count) __CTOR_LIST__[count]();
}

extern "C" BOOL WINAPI DllEntry(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) RunStaticConstructors();
  return TRUE;
}
