// Built by the compiler of the other bitness: a library this program can
// find but never load.
#include <windows.h>

extern "C" __declspec(dllexport) short WINAPI Search_For_Boards(int, int, int*, unsigned char*) {
  return 0;
}
