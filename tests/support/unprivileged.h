#pragma once
// Runs the part of a test that permissions must refuse as a user they bind. Root passes every
// permission check, and CI runs as root, so there the part runs in a child process that has
// given up root for good.

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>

namespace quorvel::test
{

struct UnprivilegedRun {
    bool ran = false;
    std::string result; // what the part returned (or how its process ended), when it ran
    std::string whyNot; // why it could not run, when it did not
};

// The unprivileged user root hands the part to: nobody.
inline constexpr unsigned unprivilegedId = 65534;

// Not root: runs part here. Root: gives the trees (with everything in them) to the user
// unprivilegedId, as if that user had made them, and runs part in a forked child that has
// dropped to that user and its group, with no other groups, and hands back what part returns.
// The part reports through what it returns (an assertion in it would fail in the child
// unseen) and must not rely on threads of the test program. It does not run, with the reason,
// when the child cannot drop root or cannot reach the trees.
UnprivilegedRun runUnprivileged(std::initializer_list<std::filesystem::path> trees,
                                const std::function<std::string()> &part);

} // namespace quorvel::test
