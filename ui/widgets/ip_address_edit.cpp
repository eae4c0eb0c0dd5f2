#include "ui/widgets/ip_address_edit.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

namespace corvessa {

namespace {

// Up to three digits with a value of at most 255; anything else is refused
// as it is typed.
class OctetValidator : public QValidator {
 public:
  using QValidator::QValidator;

  State validate(QString& input, int&) const override {
    if (input.isEmpty()) return Intermediate;
    if (input.size() > IpAddressEdit::kFieldDigits) return Invalid;
    for (QChar c : input) {
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
    }
    return input.toInt() <= IpAddressEdit::kFieldMaximum ? Acceptable : Invalid;
  }
};

constexpr int kBitsPerOctet = 8;
constexpr std::uint32_t kOctetMask = 0xFF;

int ShiftOf(int field) { return (IpAddressEdit::kFieldCount - 1 - field) * kBitsPerOctet; }

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
  // One sunken box in the colour of an edit field; the four fields inside
  // have no frames of their own.
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->setSpacing(0);
  auto* validator = new OctetValidator(this);
  const QFontMetrics metrics(font());
  // Room for three digits and the cursor.
  const int fieldWidth = metrics.horizontalAdvance(QStringLiteral("0000")) + 4;
  for (int i = 0; i < kFieldCount; ++i) {
    if (i > 0) {
      auto* dot = new QLabel(QStringLiteral("."), this);
      dot->setBackgroundRole(QPalette::Base);
      layout->addWidget(dot);
    }
    auto* field = new QLineEdit(this);
    field->setMaxLength(kFieldDigits);
    field->setValidator(validator);
    field->setAlignment(Qt::AlignCenter);
    field->setFrame(false);
    field->setFixedWidth(fieldWidth);
    field->installEventFilter(this);
    connect(field, &QLineEdit::textEdited, this, [this, i] { OnFieldEdited(i); });
    connect(field, &QLineEdit::textChanged, this, &IpAddressEdit::AddressChanged);
    layout->addWidget(field);
    fields_[static_cast<std::size_t>(i)] = field;
  }
  // Focusing the control focuses its first field.
  setFocusProxy(fields_[0]);
}

QLineEdit* IpAddressEdit::Field(int index) const {
  return (index >= 0 && index < kFieldCount) ? fields_[static_cast<std::size_t>(index)] : nullptr;
}

void IpAddressEdit::SetAddress(std::uint32_t address) {
  for (int i = 0; i < kFieldCount; ++i) {
    fields_[static_cast<std::size_t>(i)]->setText(
        QString::number((address >> ShiftOf(i)) & kOctetMask));
  }
}

std::uint32_t IpAddressEdit::Address() const {
  std::uint32_t address = 0;
  for (int i = 0; i < kFieldCount; ++i) {
    // Typing cannot go past 255, but text set by a program bypasses the
    // validator, so larger numbers are held at 255. Blank reads as 0.
    const std::uint32_t octet = std::min<std::uint32_t>(
        fields_[static_cast<std::size_t>(i)]->text().toUInt(), kFieldMaximum);
    address |= octet << ShiftOf(i);
  }
  return address;
}

bool IpAddressEdit::IsBlank() const {
  for (const QLineEdit* field : fields_) {
    if (!field->text().isEmpty()) return false;
  }
  return true;
}

void IpAddressEdit::Clear() {
  for (QLineEdit* field : fields_) field->clear();
}

void IpAddressEdit::SetAccessibleCaption(const QString& caption) {
  setAccessibleName(caption);
  for (int i = 0; i < kFieldCount; ++i) {
    fields_[static_cast<std::size_t>(i)]->setAccessibleName(
        QStringLiteral("%1 octet %2").arg(caption).arg(i + 1));
  }
}

void IpAddressEdit::SetControlId(int id) { setProperty("controlId", id); }

void IpAddressEdit::SetReadOnly(bool readOnly) {
  for (QLineEdit* field : fields_) field->setReadOnly(readOnly);
}

int IpAddressEdit::IndexOf(const QObject* field) const {
  for (int i = 0; i < kFieldCount; ++i) {
    if (fields_[static_cast<std::size_t>(i)] == field) return i;
  }
  return -1;
}

void IpAddressEdit::MoveToField(int index, bool selectAll) {
  QLineEdit* field = Field(index);
  if (field == nullptr) return;
  field->setFocus(Qt::OtherFocusReason);
  if (selectAll) {
    field->selectAll();
  } else {
    field->setCursorPosition(static_cast<int>(field->text().size()));
  }
}

void IpAddressEdit::OnFieldEdited(int index) {
  const QLineEdit* field = Field(index);
  if (field->text().size() == kFieldDigits && field->cursorPosition() == kFieldDigits) {
    MoveToField(index + 1, true);
  }
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
  const int index = IndexOf(watched);
  if (index < 0 || event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const QLineEdit* field = Field(index);
  switch (key->key()) {
    case Qt::Key_Period:
      // The dot ends a field that has a number; it is never typed into one.
      if (!field->text().isEmpty() && !field->hasSelectedText()) MoveToField(index + 1, true);
      return true;
    case Qt::Key_Backspace:
      if (field->cursorPosition() == 0 && !field->hasSelectedText() && index > 0) {
        MoveToField(index - 1, false);
        return true;
      }
      break;
    case Qt::Key_Left:
      if (field->cursorPosition() == 0 && !field->hasSelectedText() && index > 0) {
        MoveToField(index - 1, false);
        return true;
      }
      break;
    case Qt::Key_Right:
      if (field->cursorPosition() == field->text().size() && index + 1 < kFieldCount) {
        MoveToField(index + 1, false);
        QLineEdit* next = Field(index + 1);
        next->setCursorPosition(0);
        return true;
      }
      break;
    default:
      break;
  }
  return QFrame::eventFilter(watched, event);
}

}  // namespace corvessa
