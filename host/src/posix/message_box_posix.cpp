#include <hostsdk/message_box.h>

#include <mutex>

namespace {

std::mutex handlerMutex;
MessageBoxHandler currentHandler;

}  // namespace

int MessageBoxA(void* /*owner*/, const char* text, const char* caption, unsigned style) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(handlerMutex);
        handler = currentHandler;
    }
    // Called unlocked: a box is modal and may take as long as the user does.
    return handler ? handler(text ? text : "", caption ? caption : "", style) : 0;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(handlerMutex);
    std::swap(handler, currentHandler);
    return handler;
}
