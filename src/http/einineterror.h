#pragma once
// The exception for a failed call of the HTTP facility; its message is TAdvHttp::ErrorText of the
// failing code.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quorvel
{

class EInetError : public std::runtime_error
{
public:
    explicit EInetError(const std::string &message) : std::runtime_error(message) {}
};

} // namespace quorvel
