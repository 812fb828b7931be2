#include "board/win/load_advice.h"

#include <windows.h>

#include "board/win/module_path.h"
#include "board/win/pe_machine.h"
#include "board/win/wide_text.h"

namespace kx::board::win {

namespace {

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The file a search by name would find, or empty.
std::wstring Search(const std::wstring& name) {
  std::wstring found(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = SearchPathW(nullptr, name.c_str(), nullptr,
                                     static_cast<DWORD>(found.size()), found.data(), nullptr);
    if (length == 0) {
      return {};
    }
    if (length < found.size()) {
      found.resize(length);
      return found;
    }
    found.resize(length);
  }
}

}  // namespace

std::string LoadAdvice(const std::wstring& path, DllSearch search, unsigned long error) {
  const bool by_path = search == DllSearch::ByPath;
  const std::wstring found = by_path ? (IsFile(path) ? path : std::wstring()) : Search(path);
  const std::string ours = MachineText(ProgramMachine());
  const std::string wanted = "the board's " + ours + " " + Narrow(FileOf(path));
  const std::string where = by_path ? "in " + Narrow(FolderOf(path))
                                    : "beside the program, in " +
                                          Narrow(FolderOf(ModulePath(nullptr))) +
                                          ", or in a folder on PATH";
  if (found.empty()) {
    return (by_path ? "there is no such file" : "no folder of the library search holds it") +
           std::string(": put ") + wanted + " " + where;
  }
  // A library found by the search is named, since the message names only
  // what the program asked for.
  const std::string file = by_path ? "the file" : Narrow(found) + ", which the search found,";
  const PeMachine kind = ReadPeMachine(found);
  switch (kind.kind) {
    case PeMachine::Kind::Unreadable:
      return {};
    case PeMachine::Kind::NotPe:
      return file + " is no Windows library: put " + wanted + " in its place";
    case PeMachine::Kind::Machine:
      break;
  }
  if (kind.machine != ProgramMachine()) {
    return file + " is a " + MachineText(kind.machine) + " library, and this " + ours +
           " program loads only " + ours + " ones: put " + wanted + " in its place";
  }
  if (error == ERROR_MOD_NOT_FOUND || error == ERROR_BAD_EXE_FORMAT) {
    return file + " is a " + ours +
           " library, so a DLL that it needs in turn is missing or of another bitness: put the "
           "DLLs that came with it in its folder, " +
           Narrow(FolderOf(found));
  }
  return {};
}

}  // namespace kx::board::win
