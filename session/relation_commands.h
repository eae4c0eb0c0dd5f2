#pragma once
// The relation list commands: Add Relation (from the selected request or
// anew), Properties, Delete Relation, and the double-clicks that lead to
// them. The entry itself is checked by the relation editor; these commands
// open it, take its result and keep the session in step.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "relations/relation_entry.h"
#include "relations/relation_rows.h"
#include "session/session.h"

namespace corvessa {

class Prompts;

// Runs the relation editor modally: the new relation after OK, nullptr after
// Cancel.
class RelationEditorPort {
 public:
  virtual ~RelationEditorPort() = default;
  virtual std::unique_ptr<Relation> Edit(const RelationEditorRequest& request) = 0;
};

// What the commands need of the window around them.
struct RelationCommandsHost {
  Prompts& prompts;
  RelationEditorPort& editor;
  // The server's address as the editor shows it.
  std::function<std::string()> serverAddressText;
  // Scrolls the relation list until the row is whole in view.
  std::function<void(int row)> ensureRowVisible;
};

class RelationCommands {
 public:
  RelationCommands(Session& session, RelationRows& rows, RelationCommandsHost host)
      : session_(session), rows_(rows), host_(std::move(host)) {}

  // `requestMacText` is the hardware address column of the selected request
  // (empty when none): a relation already listed for it gives the IP address,
  // so that the editor's duplicate check names the problem at once.
  void OnAddRelation(std::string_view requestMacText);
  // The editor for a new relation with these initial values; refused with the
  // limit box when the list is full. True when a relation was added.
  bool NewRelation(const RelationEntry& initial);
  // The editor for the relation of the first selected row (`row`). OK
  // replaces it; OK or Cancel, the rows return to table order and the user's
  // sort and the configuration counts as modified. True when it was replaced.
  bool OnProperties(Relation* selected, int row);
  // Every selected relation, without asking.
  void OnDeleteRelation(std::span<Relation* const> selected);

 private:
  RelationEditorRequest Request(std::string_view title, const RelationEntry& entry, const Relation* edited) const;

  Session& session_;
  RelationRows& rows_;
  RelationCommandsHost host_;
};

}  // namespace corvessa
