// One small owner per OS resource the link holds, so that no early return
// leaks a reference, a VARIANT's contents or an open key.
#pragma once

#include <windows.h>
#include <oleauto.h>

// A COM interface pointer that releases its reference.
template <typename T>
class ComRef {
 public:
  ComRef() : pointer(nullptr) {}
  explicit ComRef(T* held) : pointer(held) {
    if (pointer != nullptr) pointer->AddRef();
  }
  ~ComRef() { Reset(); }

  void Reset() {
    T* old = pointer;
    pointer = nullptr;
    if (old != nullptr) old->Release();
  }
  // Forgets the reference without releasing it: for an object whose release
  // could block, a leaked reference is the lesser harm.
  void Abandon() { pointer = nullptr; }
  T* Get() const { return pointer; }
  T* operator->() const { return pointer; }
  // Releases the held reference and returns the slot for a call that writes one.
  void** ResetAndGetSlot() {
    Reset();
    return reinterpret_cast<void**>(&pointer);
  }

 private:
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  T* pointer;
};

// A VARIANT that starts empty and is cleared when it goes out of scope.
class VariantOwner {
 public:
  VariantOwner() {
    ZeroMemory(&value, sizeof value);
    VariantInit(&value);
  }
  ~VariantOwner() { VariantClear(&value); }

  VARIANT* Get() { return &value; }
  // The string the VARIANT holds, or null when it holds no string.
  BSTR String() const { return value.vt == VT_BSTR ? value.bstrVal : nullptr; }

 private:
  VariantOwner(const VariantOwner&) = delete;
  VariantOwner& operator=(const VariantOwner&) = delete;

  VARIANT value;
};

// An open registry key, closed when it goes out of scope.
class RegistryKey {
 public:
  RegistryKey() : key(nullptr) {}
  ~RegistryKey() { Close(); }

  // Opens an existing key (never creates one). Returns false when it cannot.
  bool Open(HKEY root, const char* path, REGSAM access) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path, 0, access, &opened) != ERROR_SUCCESS) return false;
    Close();
    key = opened;
    return true;
  }
  void Close() {
    if (key != nullptr) RegCloseKey(key);
    key = nullptr;
  }
  HKEY Get() const { return key; }

 private:
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  HKEY key;
};
