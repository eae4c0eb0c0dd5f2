#include "session/session_rows.h"

namespace corvessa {

SessionRows::SessionRows(Session& session, RelationRows& rows) : session_(session), rows_(rows) {
  session_.AddObserver(*this);
  rows_.ShowLoaded(session_.Relations());
}

SessionRows::~SessionRows() { session_.RemoveObserver(*this); }

void SessionRows::RelationsReset() { rows_.ShowLoaded(session_.Relations()); }

void SessionRows::RelationAdded(Relation& relation) { rows_.Insert(relation, 0); }

void SessionRows::RelationAboutToBeRemoved(const Relation& relation) { rows_.Remove(&relation); }

void SessionRows::RelationReplacing(const Relation& edited, Relation&) {
  // The edited relation's row goes; the rows are then built afresh, as an
  // edit always rebuilt them (without a selection).
  rows_.Remove(&edited);
}

void SessionRows::RelationReplaced(Relation&) { rows_.Refresh(session_.Relations()); }

void SessionRows::RelationsServed(std::span<Relation* const> relations) {
  rows_.Refresh(session_.Relations());
  for (const Relation* relation : relations) rows_.RowChanged(relation);
}

}  // namespace corvessa
