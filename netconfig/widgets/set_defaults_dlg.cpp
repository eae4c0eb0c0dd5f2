#include "netconfig/widgets/set_defaults_dlg.h"

namespace corvessa {

CSetDefaultsDlg::CSetDefaultsDlg(QWidget* parent) : QDialog(parent) {}

}  // namespace corvessa
