// The messenger's automation interface, as far as the link uses it: a local
// COM server reached through CoCreateInstance(CLSCTX_LOCAL_SERVER).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

// {E5D12C4E-7B4F-11D3-B5C9-0050045C3C96}
extern const CLSID CLSID_MessengerAutomation;
// {E5D12C4D-7B4F-11D3-B5C9-0050045C3C96}
extern const IID IID_IMessengerAutomation;

// The 16-byte value the open operation takes by value; always all zero.
struct OpenArgument {
  BYTE bytes[16];
};
static_assert(sizeof(OpenArgument) == 16, "open takes a 16-byte value");

constexpr LONG kQueryProfileRequest = 103;

struct IMessengerAutomation : public IUnknown {
  // Slot 3: opens a channel; writes channelId.
  virtual HRESULT STDMETHODCALLTYPE Open(OpenArgument zero, LONG* channelId, LONG* channelAux) = 0;
  // Slots 4 and 5: not used by the link.
  virtual HRESULT STDMETHODCALLTYPE Unused4() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused5() = 0;
  // Slot 6: answers request id; for 103 the reply is a BSTR of 0x04-separated fields.
  virtual HRESULT STDMETHODCALLTYPE Query(LONG channel, LONG requestId, VARIANT* request, VARIANT* reply,
                                          LONG* channelAux) = 0;
};
