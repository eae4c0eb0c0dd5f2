// Commands on the relation list: add, edit, delete, and the double-clicks
// that lead to them. The entry itself is checked by the relation editor; these
// commands only open it, take its result and keep the rows and the table in step.

#include <array>
#include <memory>
#include <string>

#include <QDialog>

#include "app/command_ids.h"
#include "app/provan_dlg.h"
#include "relations/relation_order.h"
#include "core/address.h"
#include "relations/widgets/add_entry_dlg.h"
#include "ui/prompts.h"
#include "ui/widgets/qt_text.h"
#include "ui/widgets/table.h"

namespace corvessa {

namespace {

// A hardware address read from a list row's column 0 text.
struct RowHardwareAddress {
  std::array<std::uint8_t, kMacCapacity> bytes{};
  std::uint8_t length = 0;
  bool converted = false;
};

RowHardwareAddress ConvertRowText(const std::string& text) {
  RowHardwareAddress mac;
  // An empty text is no hardware address at all, not sixteen zero bytes.
  if (text.empty()) return mac;
  mac.length = static_cast<std::uint8_t>(kMacCapacity);
  mac.converted = TextToMac(text, mac.bytes.data(), mac.length);
  return mac;
}

}  // namespace

void CProvanDlg::OnAddRelation() {
  // The selected request, if any, gives the hardware address; a relation
  // already listed for it gives the IP address, so that the editor's duplicate
  // check names the problem at once.
  RowHardwareAddress mac;
  std::uint32_t ip = 0;
  const int row = historyList_->FirstSelectedRow();
  if (row >= 0 && historyList_->Model() != nullptr) {
    const ColumnsModel& rows = *historyList_->Model();
    mac = ConvertRowText(ToStdString(rows.data(rows.index(row, 0)).toString()));
    if (mac.converted) {
      if (const Relation* known = table_.FindByMac(mac.bytes.data(), mac.length)) ip = known->ipAddress;
    }
  }
  // A text that did not convert still offers what it gave.
  NewRelation(mac.length > 0 ? mac.bytes.data() : nullptr, mac.length, ip, nullptr, 0, nullptr, 0);
  UpdateButtons();
}

bool CProvanDlg::NewRelation(const std::uint8_t* mac, std::uint8_t macLength, std::uint32_t ip,
                             const char* hostname, std::uint8_t hostnameLength, const char* description,
                             std::uint8_t descriptionLength) {
  if (table_.Count() >= RelationCapacity) {
    prompts_->Message(FormatString(kIdsRelationLimit, RelationCapacity), LoadString(kIdsLimitReachedCaption));
    return false;
  }

  CAddEntryDlg editor(*prompts_, store_, this);
  editor.RelationEditorInit(text::kNewEntryCaption, mac, macLength, ip, hostname, hostnameLength, description,
                            descriptionLength, table_, nullptr, settings_.subnetMask, settings_.gateway);
  if (editor.exec() != QDialog::Accepted) return false;

  std::unique_ptr<Relation> relation = editor.TakeRelation();
  // The new relation goes on top whatever the sort; a row that cannot be
  // built takes the relation with it.
  if (!AddRelationRow(relation.get(), 0)) return false;
  table_.Append(std::move(relation));
  modified_ = true;
  UpdateRelationCounter();
  return true;
}

bool CProvanDlg::OnProperties() {
  if (relationList_->SelectedCount() == 0) return false;

  const int row = relationList_->FirstSelectedRow();
  const RowHardwareAddress mac = ConvertRowText(relationList_->Rows()->CellText(row, kRelationColumnMac));
  bool appended = false;
  Relation* relation = mac.converted ? table_.FindByMac(mac.bytes.data(), mac.length) : nullptr;
  if (relation != nullptr) {
    CAddEntryDlg editor(*prompts_, store_, this);
    editor.RelationEditorInit(text::kPropertiesCaption, relation->hardwareAddress.data(),
                              relation->hardwareAddressLength, relation->ipAddress, relation->hostname.data(),
                              relation->hostnameLength, relation->description.data(), relation->descriptionLength,
                              table_, relation, settings_.subnetMask, settings_.gateway);
    if (editor.exec() == QDialog::Accepted) {
      std::unique_ptr<Relation> replacement = editor.TakeRelation();
      // No row may keep pointing at the old record once it is destroyed; the
      // rebuild below brings the rows back.
      relationList_->Rows()->DeleteAll();
      table_.Remove(relation);
      table_.Append(std::move(replacement));
      appended = true;
    }
    RefreshRelationList();
    EnsureRelationRowVisible(row);
  }
  modified_ = true;
  return appended;
}

void CProvanDlg::OnDeleteRelation() {
  // Every selected row, without asking.
  while (relationList_->SelectedCount() > 0) {
    const int row = relationList_->FirstSelectedRow();
    auto* relation = static_cast<Relation*>(relationList_->Rows()->ItemData(row));
    if (relation != nullptr && table_.Count() > 0) table_.Remove(relation);
    const bool deleted = relationList_->Rows()->DeleteRow(row);
    modified_ = true;
    // A row that stays would be found again and again.
    if (!deleted) break;
  }
  UpdateButtons();
  UpdateRelationCounter();
}

void CProvanDlg::OnHistoryDoubleClick() { OnAddRelation(); }

void CProvanDlg::OnRelationListDoubleClick() {
  // A double-click on the empty part of the list adds a relation instead.
  if (relationList_->SelectedCount() > 0) {
    OnCommand(ids::kProperties);  // which waits while a command runs
  } else {
    OnAddRelation();
  }
  UpdateButtons();
}

}  // namespace corvessa
