#include "panel/label_name.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QVariant>

namespace kx::panel {

namespace {

constexpr const char* kEmptyNameProperty = "kx_empty_name";

// Read when a tool asks, so the name always matches the text on screen.
class EmptyNamedLabel final : public QAccessibleWidget {
 public:
  explicit EmptyNamedLabel(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) {
      return QAccessibleWidget::text(t);
    }
    const auto* label = static_cast<const QLabel*>(widget());
    if (!label->accessibleName().isEmpty()) {
      return label->accessibleName();
    }
    if (!label->text().isEmpty()) {
      return label->text();
    }
    return label->property(kEmptyNameProperty).toString();
  }
};

QAccessibleInterface* LabelFactory(const QString& /*class_name*/, QObject* object) {
  auto* label = qobject_cast<QLabel*>(object);
  if (label == nullptr || !label->property(kEmptyNameProperty).isValid()) {
    return nullptr;
  }
  return new EmptyNamedLabel(label);
}

}  // namespace

void NameWhileEmpty(QLabel* label, const QString& name) {
  static const bool installed = [] {
    QAccessible::installFactory(LabelFactory);
    return true;
  }();
  static_cast<void>(installed);
  label->setProperty(kEmptyNameProperty, name);
}

}  // namespace kx::panel
