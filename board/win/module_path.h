#pragma once

#include <string>

namespace kx::board::win {

// The full path of a loaded module (an HMODULE; null: this program's own
// executable), or empty when the system cannot say.
std::wstring ModulePath(void* module);

// The folder part of a Windows path, without the last backslash; empty for
// a bare file name.
std::wstring FolderOf(const std::wstring& path);

// The file part of a Windows path.
std::wstring FileOf(const std::wstring& path);

}  // namespace kx::board::win
