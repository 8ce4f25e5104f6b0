// The DLL's own operator new and delete, over malloc and free. The plug-in
// allocates only with the nothrow form of new and never throws; libstdc++'s
// versions would drag its exception machinery (the unwinder, type info,
// bad_alloc) into the DLL for nothing (it shrinks to well under half).
// The throwing form is left out on purpose: a plain new anywhere would bring
// that machinery back and show in the DLL's size, rather than hand out null
// unchecked. Linked into the DLL only; test programs keep the standard ones.
#include <stdlib.h>

#include <new>

void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(size != 0 ? size : 1); }
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
