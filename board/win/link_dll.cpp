#include "board/win/link_dll.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "board/win/load_advice.h"
#include "board/win/module_path.h"
#include "board/win/wide_text.h"
#include "board/win/windows_error.h"

namespace kx::board::win {

std::wstring WindowsPath(std::string_view path) {
  std::wstring wide = Widen(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

LinkDll::LinkDll(std::string file, DllSearch search, OperatorPort& port)
    : path_(WindowsPath(file)), file_name_(Narrow(path_)), search_(search), port_(port) {}

LinkDll::~LinkDll() {
  if (module_ != nullptr) {
    FreeLibrary(static_cast<HMODULE>(module_));
  }
}

bool LinkDll::Load() {
  if (load_tried_) {
    return module_ != nullptr;
  }
  load_tried_ = true;

  HMODULE module = nullptr;
  if (search_ == DllSearch::ByPath) {
    module = LoadLibraryExW(path_.c_str(), nullptr,
                            LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    // Systems without the LOAD_LIBRARY_SEARCH flags refuse them as a bad
    // parameter; the older flag also searches the library's own folder.
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
      module = LoadLibraryExW(path_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
  } else {
    module = LoadLibraryExW(path_.c_str(), nullptr, 0);
  }
  if (module == nullptr) {
    const DWORD error = GetLastError();
    const std::string advice = LoadAdvice(path_, search_, error);
    Fail(SystemErrorText(error) + (advice.empty() ? "" : "; " + advice));
    return false;
  }
  module_ = module;

  // A library found by the search is named by where it was found.
  if (const std::wstring loaded = ModulePath(module); !loaded.empty()) {
    file_name_ = Narrow(loaded);
  }
  return true;
}

void LinkDll::Fail(std::string reason) {
  missing_ = std::make_unique<MissingLinkLibrary>(file_name_, std::move(reason), port_);
}

LinkDll::AnyFunction LinkDll::Find(Slot& slot, std::string_view function,
                                   std::span<const char* const> names) {
  if (Failed()) {
    return nullptr;
  }
  if (slot.looked_up) {
    return slot.function;
  }
  if (!Load()) {
    return nullptr;
  }
  slot.looked_up = true;
  for (const char* name : names) {
    if (FARPROC found = GetProcAddress(static_cast<HMODULE>(module_), name)) {
      slot.function = reinterpret_cast<AnyFunction>(found);
      return slot.function;
    }
  }
  const DWORD error = GetLastError();
  std::string reason = "it has no function " + std::string(function);
  if (names.size() > 1 || function != names.front()) {
    reason += " under any of the names";
    for (std::size_t i = 0; i < names.size(); ++i) {
      reason += (i == 0 ? " " : ", ");
      reason += names[i];
    }
  }
  Fail(reason + ": " + WindowsErrorText(error));
  return nullptr;
}

}  // namespace kx::board::win
