// The messenger's automation object, served as a COM local server from the
// apartment of the thread that starts it: by default the multithreaded one,
// where calls arrive on COM's own threads and are answered even while the
// window thread is busy or hung; with --com-on-window-thread the window
// thread's own, where they wait for its message loop.
//
// The interface crosses processes through the universal marshaler, driven by
// the type library embedded in this program (automation.idl) and registered
// for the current user at start. No CLSID key is written: COM finds the class
// object only while this program runs, and can never launch it.
#include "standin_messenger.h"

// Missing from the MinGW headers; present in oleaut32's import library.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* typeLib, OLECHAR* fullPath, OLECHAR* helpDir);

namespace {

// {E5D12C4E-7B4F-11D3-B5C9-0050045C3C96}
const CLSID kAutomationClass = {0xE5D12C4E, 0x7B4F, 0x11D3, {0xB5, 0xC9, 0x00, 0x50, 0x04, 0x5C, 0x3C, 0x96}};
// {E5D12C4D-7B4F-11D3-B5C9-0050045C3C96}
const IID kAutomationInterface = {0xE5D12C4D, 0x7B4F, 0x11D3, {0xB5, 0xC9, 0x00, 0x50, 0x04, 0x5C, 0x3C, 0x96}};
const wchar_t kClassKey[] = L"CLSID\\{E5D12C4E-7B4F-11D3-B5C9-0050045C3C96}";

const LONG kQueryProfile = 103;

// Our own declarations, matching automation.idl slot by slot.
struct OpenArgument {
  LONG part[4];
};
static_assert(sizeof(OpenArgument) == 16, "open takes a 16-byte value");

struct IMessengerAutomation : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Open(OpenArgument zero, LONG* channelId, LONG* channelAux) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused4() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused5() = 0;
  virtual HRESULT STDMETHODCALLTYPE Query(LONG channel, LONG requestId, VARIANT* request, VARIANT* reply,
                                          LONG* channelAux) = 0;
};

const Options* config = nullptr;
DWORD classCookie = 0;
LONG lastChannel = 0x5A10;  // channel ids handed out, distinct across objects

bool IsAllZero(const OpenArgument& value) {
  return value.part[0] == 0 && value.part[1] == 0 && value.part[2] == 0 && value.part[3] == 0;
}

class Automation final : public IMessengerAutomation {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, kAutomationInterface)) return E_NOINTERFACE;
    *object = static_cast<IMessengerAutomation*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs);
    if (left == 0) {
      LogLine("automation release");
      delete this;
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE Open(OpenArgument zero, LONG* channelId, LONG* channelAux) override {
    (void)channelAux;  // passed by address; the messenger's use of it is its own
    if (!channelId) return E_POINTER;
    if (!IsAllZero(zero)) {
      LogLine("automation open bad-argument");
      return E_INVALIDARG;
    }
    if (config->automation == AutomationMode::OpenFails) {
      LogLine("automation open failed");
      return E_FAIL;
    }
    channel = InterlockedIncrement(&lastChannel);
    *channelId = channel;
    LogLine("automation open ok");
    if (config->hungAfterOpen) RequestHang();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Unused4() override {
    LogLine("automation unused4");
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Unused5() override {
    LogLine("automation unused5");
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE Query(LONG channelValue, LONG requestId, VARIANT* request, VARIANT* reply,
                                  LONG* channelAux) override {
    (void)request;
    (void)channelAux;
    const std::string head = "automation query " + std::to_string(requestId) + " ";
    if (!reply) return E_POINTER;
    if (channel == 0 || channelValue != channel) {
      LogLine(head + "bad-channel");
      return E_INVALIDARG;
    }
    if (requestId != kQueryProfile) {
      LogLine(head + "unknown-id");
      return E_INVALIDARG;
    }
    switch (config->automation) {
      case AutomationMode::QueryFails:
        LogLine(head + "failed");
        return E_FAIL;
      case AutomationMode::NonBstr:
        reply->vt = VT_I4;
        reply->lVal = kQueryProfile;
        LogLine(head + "non-bstr");
        return S_OK;
      case AutomationMode::LongReply: {
        // The padding comes first, so no correct reading of a shortened
        // ANSI form can reach the profile field.
        const std::wstring fields = std::wstring(300, L'x') + L"\x04" + config->profile + L"\x04" L"b";
        return ReplyText(head + "long-reply", fields, reply);
      }
      default:
        return ReplyText(head + "ok", L"a\x04" + config->profile + L"\x04" L"b", reply);
    }
  }

 private:
  HRESULT ReplyText(const std::string& line, const std::wstring& fields, VARIANT* reply) {
    reply->vt = VT_BSTR;
    reply->bstrVal = SysAllocStringLen(fields.data(), static_cast<UINT>(fields.size()));
    if (!reply->bstrVal) {
      reply->vt = VT_EMPTY;
      return E_OUTOFMEMORY;
    }
    LogLine(line);
    return S_OK;
  }

  LONG refs = 1;
  LONG channel = 0;  // 0 until opened
};

class AutomationFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // One static instance that lives as long as the program.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Automation* automation = new Automation();
    const HRESULT result = automation->QueryInterface(iid, object);
    automation->Release();
    LogLine(SUCCEEDED(result) ? "automation create" : "automation create no-interface");
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

AutomationFactory factory;

bool RegisterTypeLibrary() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  ITypeLib* typeLib = nullptr;
  if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &typeLib))) return false;
  const HRESULT result = RegisterTypeLibForUser(typeLib, path, nullptr);
  typeLib->Release();
  return SUCCEEDED(result);
}

// A class key left by anything else could let COM launch some program when
// the class object is missing; the create-fails mode must fail for sure.
void RemoveClassKeys() {
  const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
  const wchar_t* const bases[] = {L"Software\\Classes\\", L"Software\\Classes\\WOW6432Node\\"};
  for (HKEY root : roots) {
    for (const wchar_t* base : bases) {
      const std::wstring path = std::wstring(base) + kClassKey;
      if (RegDeleteTreeW(root, path.c_str()) == ERROR_SUCCESS) LogLine("automation removed " + Utf8(path));
    }
  }
}

}  // namespace

bool StartAutomation(const Options& options) {
  config = &options;
  if (!RegisterTypeLibrary()) {
    LogLine("automation error=typelib");
    return false;
  }
  if (options.automation == AutomationMode::CreateFails) {
    RemoveClassKeys();
    return true;
  }
  const HRESULT result =
      CoRegisterClassObject(kAutomationClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &classCookie);
  if (FAILED(result)) {
    LogLine("automation error=register");
    return false;
  }
  return true;
}

void StopAutomation() {
  if (classCookie) CoRevokeClassObject(classCookie);
  classCookie = 0;
}
