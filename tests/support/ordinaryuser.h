#pragma once
// Runs a piece of a test as a user that permission bits apply to. Root writes wherever it likes,
// so a test of a read-only folder runs its work in a child process as the user nobody.

#include <functional>
#include <optional>
#include <string>

namespace tirelle::testing {

// The user id the work runs as: nobody when this process is root, this user otherwise.
unsigned ordinaryUserId();

// Runs `work` in a child process as ordinaryUserId() (with that user's group and no other
// groups when dropping from root) and gives back what `work` returned: the empty text for
// success, otherwise a description of what went wrong (an exception's message is returned as
// such). Gives nothing when no such child can be made here; the caller then skips.
std::optional<std::string> runAsOrdinaryUser(const std::function<std::string()>& work);

}  // namespace tirelle::testing
