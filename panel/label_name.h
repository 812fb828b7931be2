#pragma once

#include <QString>

class QLabel;

namespace kx::panel {

// A label that shows a value is announced by that value. While it shows
// nothing, assistive tools would name it after its group box ("ADC Values");
// it is then named `name` instead. Set before the label is first announced.
void NameWhileEmpty(QLabel* label, const QString& name);

}  // namespace kx::panel
