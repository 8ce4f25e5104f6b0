// TODO: being written. Placeholder so the tree links.
#include "messenger/messenger_link.h"

MessengerLink::MessengerLink()
    : mainWindow(nullptr), profile(nullptr), automation(nullptr), channelId(0), channelAux(0), betaClient(0) {}
MessengerLink::~MessengerLink() {}
bool MessengerLink::IsReady() { return false; }
const char* MessengerLink::QueryProfile() { return nullptr; }
LRESULT MessengerLink::SendCommand(UINT, WPARAM, LPARAM) { return 0; }
