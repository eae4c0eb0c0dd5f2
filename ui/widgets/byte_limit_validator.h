#pragma once
// Limits an edit to the bytes its text will take when it is stored, not to
// its characters: a 32-byte hostname holds 32 Latin-1 characters but only
// 16 characters of two UTF-8 bytes each. What would pass the limit is not
// accepted, as a character past the edit's own length limit is not. (A text
// shown from its stored bytes always fits: it is shown in the encoding it is
// stored back in.)

#include <cstddef>

#include <QValidator>

#include "ui/widgets/qt_text.h"

class QLineEdit;

namespace corvessa {

class ByteLimitValidator : public QValidator {
  Q_OBJECT

 public:
  ByteLimitValidator(std::size_t limit, TextEncoding encoding, QLineEdit* edit);

  void SetEncoding(TextEncoding encoding) { encoding_ = encoding; }
  State validate(QString& input, int& position) const override;

 private:
  std::size_t limit_;
  TextEncoding encoding_;
};

}  // namespace corvessa
