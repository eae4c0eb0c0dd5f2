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

void SessionRows::RelationReplacing(const Relation& edited, Relation& replacement) {
  rows_.Substitute(&edited, replacement);
}

void SessionRows::RelationReplaced(Relation&) { rows_.Refresh(session_.Relations()); }

void SessionRows::RelationServed(Relation& relation) {
  rows_.Refresh(session_.Relations());
  rows_.RowChanged(&relation);
}

}  // namespace corvessa
