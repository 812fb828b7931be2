#include "view/view_tabs.h"

#include "view/histogram_tab.h"
#include "view/linearity_tab.h"
#include "view/spectrum_tab.h"
#include "view/statistics_tab.h"
#include "view/time_tab.h"

namespace kx::view {

std::vector<ViewTab*> MakeViewTabs(const TabChoices& choices) {
  return {
      new TimeTab,      new HistogramTab, new StatisticsTab, new SpectrumTab(choices.window),
      new LinearityTab,
  };
}

}  // namespace kx::view
