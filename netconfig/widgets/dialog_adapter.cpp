#include "netconfig/widgets/dialog_adapter.h"

namespace corvessa {

CDialogAdapter::CDialogAdapter(QWidget* parent) : QDialog(parent) {}

}  // namespace corvessa
