#pragma once
// Finding the dialogs' controls the way a user or a screen reader would: by
// their control ID, and shown windows made active so focus is real.

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace corvessa::testing {

// The one widget of type T that carries `id` as "controlId"; nullptr when
// there is none or several.
template <typename T>
T* FindControl(const QWidget& dialog, int id) {
  T* found = nullptr;
  for (T* control : dialog.findChildren<T*>()) {
    if (!control->property("controlId").isValid() || control->property("controlId").toInt() != id) continue;
    if (found != nullptr) return nullptr;
    found = control;
  }
  return found;
}

// The label whose buddy is `control`.
inline QLabel* LabelOf(const QWidget& dialog, const QWidget* control) {
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (label->buddy() == control) return label;
  }
  return nullptr;
}

// Shows the dialog as the active window, so that setFocus moves the
// application's focus and not only the window's remembered one.
inline bool ShowActive(QWidget& dialog) {
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  dialog.activateWindow();
  return QTest::qWaitForWindowActive(&dialog);
}

}  // namespace corvessa::testing
