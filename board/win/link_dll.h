#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "board/missing_library.h"
#include "board/operator_port.h"

namespace kx::board::win {

// How a link library is found.
enum class DllSearch {
  // By its full path. The folder of the library is searched for the DLLs it
  // needs in turn, before the usual places: a vendor library is often
  // installed together with helpers of its own.
  ByPath,
  // By file name, through the platform's standard library search (the
  // program's folder, the system folders, the working folder, PATH).
  ByName,
};

// The path as Windows writes it: forward slashes become backslashes.
std::wstring WindowsPath(std::string_view path);

// A link library, loaded at its first use; each function is looked up by
// name at its own first use, so that a library with a function missing
// still serves the calls before it. When the library cannot be loaded or a
// function is not in it, the operator is told once, naming the file and the
// system's reason, and from then on every call of the library answers as a
// board that is not attached: a half-bound library is not trusted.
class LinkDll {
 public:
  // The common shape that looked-up functions are kept in; each caller casts
  // back to the exact function type it looked up.
  using AnyFunction = void (*)();

  // One function's lookup, done once.
  struct Slot {
    AnyFunction function = nullptr;
    bool looked_up = false;
  };

  LinkDll(std::string file, DllSearch search, OperatorPort& port);
  ~LinkDll();
  LinkDll(const LinkDll&) = delete;
  LinkDll& operator=(const LinkDll&) = delete;

  // The function exported under the first of `names` found, or null when the
  // library or the function is missing: then call Missing() instead.
  template <typename Function>
  Function Bind(Slot& slot, std::string_view function, std::span<const char* const> names) {
    return reinterpret_cast<Function>(Find(slot, function, names));
  }

  // Answers in place of the library once Bind has returned null.
  MissingLinkLibrary& Missing() { return *missing_; }

  // The file as the program names it (backslashes), or once loaded the full
  // path of the module the system chose.
  const std::string& FileName() const { return file_name_; }
  bool Loaded() const { return module_ != nullptr; }
  bool Failed() const { return missing_ != nullptr; }

 private:
  AnyFunction Find(Slot& slot, std::string_view function, std::span<const char* const> names);
  bool Load();
  void Fail(std::string reason);

  std::wstring path_;
  std::string file_name_;
  DllSearch search_;
  OperatorPort& port_;
  void* module_ = nullptr;  // HMODULE
  bool load_tried_ = false;
  std::unique_ptr<MissingLinkLibrary> missing_;
};

}  // namespace kx::board::win
