#pragma once
// Small helpers the two network dialogs share for naming their controls.

#include <string_view>

#include <QString>

class QLabel;
class QWidget;

namespace corvessa {

// Stores the control's ID as the dynamic property "controlId".
void SetControlId(QWidget* control, int id);

// A label's text as the accessible name of the control beside it: the same
// words without the trailing colon, which a screen reader would only read out.
QString CaptionOf(std::string_view labelText);

// Makes `label` the visible caption of `control`: the label names the control
// for keyboard users (buddy) and for screen readers (accessible name).
void AttachLabel(QLabel* label, QWidget* control);

}  // namespace corvessa
