#pragma once

#include <array>
#include <span>

namespace kx::board::win {

// The names under which UsbBoardIo's two functions are looked for, tried in
// this order until one is found. The library exports them with compiler
// decoration, and which compiler built it is not known, so:
//
//   32-bit  1. stdcall, C linkage, as Microsoft's compiler exports it:
//              _LoadFirmWare@4, _VendorIORequest@24 (the argument bytes)
//           2. the same as GNU tools export it, without the underscore
//           3. stdcall with C++ linkage (Microsoft's mangling): the path as
//              char*, const char* or unsigned char*; value and index as long
//              or int; the buffer as unsigned char* or char*
//           4. the plain name, in case a definition file removed the
//              decoration
//   64-bit  1. the plain name: there is one calling convention and C linkage
//              adds no decoration
//           2. C++ linkage (Microsoft's mangling), the same variants as above
inline constexpr std::array<const char*, 6> LoadFirmWareNames32 = {
    "_LoadFirmWare@4",         "LoadFirmWare@4",          "?LoadFirmWare@@YGFPAD@Z",
    "?LoadFirmWare@@YGFPBD@Z", "?LoadFirmWare@@YGFPAE@Z", "LoadFirmWare",
};
inline constexpr std::array<const char*, 7> VendorIORequestNames32 = {
    "_VendorIORequest@24",
    "VendorIORequest@24",
    "?VendorIORequest@@YGFFJJFFPAE@Z",
    "?VendorIORequest@@YGFFHHFFPAE@Z",
    "?VendorIORequest@@YGFFJJFFPAD@Z",
    "?VendorIORequest@@YGFFHHFFPAD@Z",
    "VendorIORequest",
};
inline constexpr std::array<const char*, 4> LoadFirmWareNames64 = {
    "LoadFirmWare",
    "?LoadFirmWare@@YAFPEAD@Z",
    "?LoadFirmWare@@YAFPEBD@Z",
    "?LoadFirmWare@@YAFPEAE@Z",
};
inline constexpr std::array<const char*, 5> VendorIORequestNames64 = {
    "VendorIORequest",
    "?VendorIORequest@@YAFFJJFFPEAE@Z",
    "?VendorIORequest@@YAFFHHFFPEAE@Z",
    "?VendorIORequest@@YAFFJJFFPEAD@Z",
    "?VendorIORequest@@YAFFHHFFPEAD@Z",
};

inline constexpr bool Is64Bit = sizeof(void*) == 8;

// The names for the bitness of this program, which is the bitness of every
// library it can load.
inline constexpr std::span<const char* const> LoadFirmWareNames() {
  if constexpr (Is64Bit) {
    return LoadFirmWareNames64;
  } else {
    return LoadFirmWareNames32;
  }
}
inline constexpr std::span<const char* const> VendorIORequestNames() {
  if constexpr (Is64Bit) {
    return VendorIORequestNames64;
  } else {
    return VendorIORequestNames32;
  }
}

}  // namespace kx::board::win
