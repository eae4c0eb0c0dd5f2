#pragma once
// Every control and menu command of the main window carries its number as the
// Qt property "controlId", so that tests and accessibility tools find it.

#include <QObject>
#include <QVariant>

namespace corvessa {

inline constexpr const char* kControlIdProperty = "controlId";

inline void SetControlId(QObject* object, int id) { object->setProperty(kControlIdProperty, id); }

// 0 when the object carries no number.
inline int ControlIdOf(const QObject* object) {
  const QVariant id = object->property(kControlIdProperty);
  return id.isValid() ? id.toInt() : 0;
}

}  // namespace corvessa
