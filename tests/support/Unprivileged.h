#pragma once

// Permission cases made real when the tests run as root: the body runs in a
// forked child that has dropped to an unprivileged user. Needs GoogleTest.

#include <functional>

namespace tidyfold::test {

// Runs body in a forked child that has switched to an unprivileged user
// (nobody), so permission checks apply even when the tests run as root.
// Returns the child's exit status: 0 when body returned normally and every
// gtest assertion inside it held.
int RunUnprivileged(const std::function<void()>& body);
// The uid and gid RunUnprivileged switches to.
unsigned UnprivilegedUid();
unsigned UnprivilegedGid();

}  // namespace tidyfold::test
