// kx7312-view: shows a capture file, or with --report prints its figures.
#include "view/run_view.h"

int main(int argc, char** argv) {
  return kx::view::RunView(argc, argv);
}
