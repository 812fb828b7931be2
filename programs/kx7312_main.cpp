#include "panel/run_panel.h"

int main(int argc, char** argv) {
  return kx::panel::RunProgram(argc, argv, kx::ClassicEdition);
}
