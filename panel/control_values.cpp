#include "panel/control_values.h"

#include <QCheckBox>

#include "panel/text_box.h"

namespace kx::panel {

dac::DacOperations::ChannelTicks Ticks(const std::array<QCheckBox*, 16>& boxes) {
  dac::DacOperations::ChannelTicks ticked{};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    ticked[i] = boxes[i]->isChecked();
  }
  return ticked;
}

dac::GroupTicks GroupTicksOf(const std::array<QCheckBox*, 16>& boxes, int group) {
  dac::GroupTicks ticked{};
  for (std::size_t d = 0; d < ticked.size(); ++d) {
    ticked[d] = boxes[static_cast<std::size_t>(group) * ticked.size() + d]->isChecked();
  }
  return ticked;
}

dac::DacOperations::ChannelTexts Texts(const std::array<TextBox*, 16>& boxes) {
  dac::DacOperations::ChannelTexts texts;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    texts[i] = boxes[i]->text().toStdString();
  }
  return texts;
}

}  // namespace kx::panel
