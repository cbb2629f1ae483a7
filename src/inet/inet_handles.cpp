#include "inet/inet_handles.h"

namespace quorvel::platform::inet
{

HandleRegistry &HandleRegistry::instance()
{
    // Never destroyed: facility threads may still look handles up while the program exits.
    static HandleRegistry *registry = new HandleRegistry;
    return *registry;
}

HINTERNET HandleRegistry::add(const std::shared_ptr<HandleObject> &object)
{
    std::lock_guard lock(mutex_);
    // Steps of 4 keep the values looking like aligned pointers to callers that print them.
    const std::uintptr_t id = next_;
    next_ += 4;
    object->handle_ = reinterpret_cast<HINTERNET>(id);
    live_.emplace(id, object);
    return object->handle_;
}

std::shared_ptr<HandleObject> HandleRegistry::find(HINTERNET handle) const
{
    std::lock_guard lock(mutex_);
    const auto found = live_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == live_.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return found->second;
}

std::shared_ptr<HandleObject> HandleRegistry::remove(HINTERNET handle)
{
    std::lock_guard lock(mutex_);
    const auto found = live_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == live_.end())
        return nullptr;
    auto object = std::move(found->second);
    live_.erase(found);
    return object;
}

} // namespace quorvel::platform::inet
