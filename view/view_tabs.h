#pragma once

#include <vector>

#include "analysis/spectrum.h"
#include "view/view_tab.h"

namespace kx::view {

// What the command line gives the tabs as they are made.
struct TabChoices {
  analysis::WindowKind window = analysis::WindowKind::BlackmanHarris;
};

// The viewer's tabs, in their order; the window takes them over. A new
// tab is one more entry here.
std::vector<ViewTab*> MakeViewTabs(const TabChoices& choices);

}  // namespace kx::view
