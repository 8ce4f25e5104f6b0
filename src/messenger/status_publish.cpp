// Handing a status text over as the messenger's custom message number 4.
#include "messenger/messenger_link.h"

#include <string.h>

#include "messenger/status_record.h"

namespace {

const char kProfilesKey[] = "Software\\Yahoo\\Pager\\profiles\\";
const char kCustomMessagesKey[] = "\\Custom Msgs";
constexpr size_t kKeyPathSize = 256;
// Deleted after each hand-over, in this order; "4_DND" stays.
const char* const kTemporaryValues[] = {"1_bin", "1", "4", "4_bin"};

// The profile's custom-message key path. Returns false when it does not fit.
bool BuildKeyPath(const char* profile, char* path, size_t pathSize) {
  size_t prefix = sizeof kProfilesKey - 1;
  size_t name = strlen(profile);
  size_t suffix = sizeof kCustomMessagesKey - 1;
  if (prefix + name + suffix >= pathSize) return false;
  memcpy(path, kProfilesKey, prefix);
  memcpy(path + prefix, profile, name);
  memcpy(path + prefix + name, kCustomMessagesKey, suffix + 1);
  return true;
}

}  // namespace

HandOver MessengerLink::PublishStatus(const char* text, const RecordOptions& options) {
  if (text == nullptr) return HandOver::kDone;
  if (!IsReady()) return HandOver::kNotReady;

  char record[kStatusRecordSize];
  int length = BuildStatusRecord(text, options, record, sizeof record);
  if (length < 0) return HandOver::kDone;
  return ApplyCustomStatus(record, static_cast<size_t>(length));
}

HandOver MessengerLink::ApplyCustomStatus(const char* record, size_t recordLength) {
  // A messenger whose window thread has just come back from a long command
  // may still count as hung, and gives no profile for a moment.
  const char* name = QueryProfile();
  if (name == nullptr) return HandOver::kNotReady;
  // Built at once: the profile text is not used across the waits below.
  char keyPath[kKeyPathSize];
  if (!BuildKeyPath(name, keyPath, sizeof keyPath)) return HandOver::kDone;

  // The messenger owns the key (it may make it later); it is never created here.
  RegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, keyPath, KEY_WRITE)) return HandOver::kNotReady;

  const BYTE* bytes = reinterpret_cast<const BYTE*>(record);
  DWORD size = static_cast<DWORD>(recordLength + 1);
  RegSetValueExA(key.Get(), "4", 0, REG_BINARY, bytes, size);
  RegSetValueExA(key.Get(), "4_bin", 0, REG_BINARY, bytes, size);
  DWORD doNotDisturb = 0;
  RegSetValueExA(key.Get(), "4_DND", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&doNotDisturb),
                 sizeof doNotDisturb);

  // Returns once the messenger has read the values, or when the wait ran
  // out. Then the system still delivers the command later, and the messenger
  // reads the values at that moment: they must still be there, and the text
  // is offered again (the next hand-over removes them).
  const CommandOutcome outcome = Deliver(WM_COMMAND, kApplyCustomStatusCommand + betaClient, 0, nullptr);
  if (outcome == CommandOutcome::kUnconfirmed) return HandOver::kUnconfirmed;

  for (const char* value : kTemporaryValues) RegDeleteValueA(key.Get(), value);
  // A messenger gone or signed out since the values were written never had it.
  return outcome == CommandOutcome::kCompleted ? HandOver::kDone : HandOver::kNotReady;
}
