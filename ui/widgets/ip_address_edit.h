#pragma once
// The four-field IPv4 address control: four number fields (0 to 255) with
// dots between them, drawn as one edit box. Blank fields read as 0; the control is blank when all
// four are empty. Typing '.' or a third digit moves on to the next field.

#include <array>
#include <cstdint>

#include <QString>
#include <QFrame>

class QLineEdit;

namespace corvessa {

class IpAddressEdit : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kFieldCount = 4;
  static constexpr int kFieldDigits = 3;
  static constexpr int kFieldMaximum = 255;

  explicit IpAddressEdit(QWidget* parent = nullptr);

  // Host order: the first field shows the most significant byte.
  void SetAddress(std::uint32_t address);
  std::uint32_t Address() const;
  bool IsBlank() const;
  void Clear();

  // Names the control and its fields after the caption beside it:
  // "<caption> octet 1" ... "<caption> octet 4".
  void SetAccessibleCaption(const QString& caption);
  void SetControlId(int id);
  void SetReadOnly(bool readOnly);

  QLineEdit* Field(int index) const;  // 0 to 3

 signals:
  // Any field's text changed, by typing or by the setters.
  void AddressChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int IndexOf(const QObject* field) const;
  void MoveToField(int index, bool selectAll);
  void OnFieldEdited(int index);

  std::array<QLineEdit*, kFieldCount> fields_{};
};

}  // namespace corvessa
