#include "ui/widgets/byte_limit_validator.h"

#include <QLineEdit>

namespace corvessa {

ByteLimitValidator::ByteLimitValidator(std::size_t limit, TextEncoding encoding, QLineEdit* edit)
    : QValidator(edit), limit_(limit), encoding_(encoding) {}

QValidator::State ByteLimitValidator::validate(QString& input, int&) const {
  return EncodeText(input, encoding_).size() <= limit_ ? Acceptable : Invalid;
}

}  // namespace corvessa
