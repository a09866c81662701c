// DesktopOpen: the installable handler in front of the platform's way of opening files.
#include "support/platform/DesktopOpen.h"

#include <mutex>

namespace {

std::mutex& HandlerMutex() {
    static std::mutex m;
    return m;
}

DesktopOpenHandler& HandlerSlot() {
    static DesktopOpenHandler handler;
    return handler;
}

} // namespace

void SetDesktopOpenHandler(DesktopOpenHandler Handler) {
    std::lock_guard lock(HandlerMutex());
    HandlerSlot() = std::move(Handler);
}

bool DesktopOpenFile(const std::string& FileName) {
    DesktopOpenHandler handler;
    {
        std::lock_guard lock(HandlerMutex());
        handler = HandlerSlot();
    }
    return handler ? handler(FileName) : PlatformDesktopOpen(FileName);
}
