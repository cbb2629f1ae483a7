#pragma once
// The registry of live facility handles. A handle value is an id that is never reused, so a
// closed or made-up handle is recognised and refused instead of being dereferenced.

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "inet/inet.h"

namespace quorvel::platform::inet
{

enum class HandleKind { Session, Connection, Request };

// The common part of every object behind a handle.
class HandleObject
{
public:
    explicit HandleObject(HandleKind kind) : kind_(kind) {}
    virtual ~HandleObject() = default;
    HandleObject(const HandleObject &) = delete;
    HandleObject &operator=(const HandleObject &) = delete;

    HandleKind kind() const { return kind_; }
    HINTERNET handle() const { return handle_; }

private:
    friend class HandleRegistry;
    HandleKind kind_;
    HINTERNET handle_ = nullptr;
};

class HandleRegistry
{
public:
    static HandleRegistry &instance();

    // Gives the object its handle value and makes it findable.
    HINTERNET add(const std::shared_ptr<HandleObject> &object);
    // The live object of handle, or null with the thread's last error set (ERROR_INVALID_HANDLE
    // for an unknown handle, ERROR_INTERNET_INCORRECT_HANDLE_TYPE for another kind).
    std::shared_ptr<HandleObject> find(HINTERNET handle) const;
    template <typename T> std::shared_ptr<T> find(HINTERNET handle, HandleKind kind) const
    {
        auto object = find(handle);
        if (!object)
            return nullptr;
        if (object->kind() != kind) {
            SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
            return nullptr;
        }
        return std::static_pointer_cast<T>(object);
    }
    // Makes the handle unknown from now on and gives its object back; null when it was unknown.
    std::shared_ptr<HandleObject> remove(HINTERNET handle);

private:
    HandleRegistry() = default;

    mutable std::mutex mutex_;
    std::uintptr_t next_ = 0x1000;
    std::unordered_map<std::uintptr_t, std::shared_ptr<HandleObject>> live_;
};

} // namespace quorvel::platform::inet
