#include "programs/run_program.h"

int main(int argc, char** argv) {
  return kx::programs::RunProgram(argc, argv, kx::Version2Edition);
}
