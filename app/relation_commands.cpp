// Commands on the relation list: add, edit, delete, and the double-clicks
// that lead to them.

#include <array>

#include "core/address.h"
#include "app/provan_dlg.h"
#include "ui/prompts.h"
#include "ui/widgets/table.h"

namespace corvessa {

void CProvanDlg::OnAddRelation() {
  // The selected request, if any, gives the hardware address; a relation
  // already listed for it gives the IP address.
  std::array<std::uint8_t, kMacCapacity> mac{};
  std::uint8_t macLength = 0;
  std::uint32_t ip = 0;
  const int row = historyList_->FirstSelectedRow();
  if (row >= 0 && row < history_.RowCount()) {
    macLength = static_cast<std::uint8_t>(kMacCapacity);
    if (TextToMac(history_.Row(row).mac, mac.data(), macLength)) {
      if (const Relation* known = table_.FindByMac(mac.data(), macLength)) ip = known->ipAddress;
    }
  }
  NewRelation(macLength > 0 ? mac.data() : nullptr, macLength, ip, nullptr, 0, nullptr, 0);
  UpdateButtons();
}

bool CProvanDlg::NewRelation(const std::uint8_t* /*mac*/, std::uint8_t /*macLength*/, std::uint32_t /*ip*/,
                             const char* /*hostname*/, std::uint8_t /*hostnameLength*/,
                             const char* /*description*/, std::uint8_t /*descriptionLength*/) {
  if (table_.Count() >= RelationCapacity) {
    prompts_->Message(FormatString(kIdsRelationLimit, RelationCapacity), LoadString(kIdsLimitReachedCaption));
    return false;
  }
  // The relation editor is not part of this build yet: nothing can be entered.
  return false;
}

bool CProvanDlg::OnProperties() {
  if (relationList_->SelectedCount() == 0) return false;
  // The relation editor is not part of this build yet: nothing can be edited.
  return false;
}

void CProvanDlg::OnDeleteRelation() {
  // Every selected row, without asking.
  while (relationList_->SelectedCount() > 0) {
    const int row = relationList_->FirstSelectedRow();
    auto* relation = static_cast<Relation*>(relationList_->Rows()->ItemData(row));
    if (relation != nullptr && table_.Count() > 0) table_.Remove(relation);
    const bool deleted = relationList_->Rows()->DeleteRow(row);
    modified_ = true;
    if (!deleted) break;
  }
  UpdateButtons();
  UpdateRelationCounter();
}

void CProvanDlg::OnHistoryDoubleClick() { OnAddRelation(); }

void CProvanDlg::OnRelationListDoubleClick() {
  // A double-click on the empty part of the list adds a relation instead.
  if (relationList_->SelectedCount() > 0) {
    OnProperties();
  } else {
    OnAddRelation();
  }
  UpdateButtons();
}

}  // namespace corvessa
