// TODO: being written. Placeholder so the tree links.
#include "messenger/messenger_link.h"

void MessengerLink::PublishStatus(const char*, const PluginSettings&) {}
void MessengerLink::ApplyCustomStatus(const char*, size_t) {}
