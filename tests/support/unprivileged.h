#pragma once

#ifndef _WIN32

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kx::testing {

// The user a test can take away write permission from: "nobody" when the
// tests run as root (root may write anything), else the user running them.
uid_t UnprivilegedUser();
gid_t UnprivilegedGroup();

// Runs `work` in a child process as UnprivilegedUser() and returns the text
// it returned. No value when that user cannot reach `folder` (a private
// TMPDIR under root's home), which the caller reports as a skip. A child
// that fails any other way fails the test.
std::optional<std::string> RunUnprivileged(const std::filesystem::path& folder,
                                           const std::function<std::string()>& work);

// Gives `path` to UnprivilegedUser() with the mode `mode`; a no-op for the
// owner when the tests run unprivileged already.
void GiveToUnprivileged(const std::filesystem::path& path, unsigned mode);

}  // namespace kx::testing

#endif  // Windows has no users to switch to in a test.
