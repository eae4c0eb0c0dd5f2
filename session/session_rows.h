#pragma once
// How the relation list follows the session: a loaded file shows its last
// relation on top, unsorted; a new relation goes on top; an edit rebuilds
// the rows in table order and the user's sort; a served relation brings them
// back into that order too, keeping the rows (and a selection) that stay.

#include "relations/relation_rows.h"
#include "session/session.h"

namespace corvessa {

class SessionRows final : private SessionObserver {
 public:
  SessionRows(Session& session, RelationRows& rows);
  ~SessionRows() override;
  SessionRows(const SessionRows&) = delete;
  SessionRows& operator=(const SessionRows&) = delete;

 private:
  void RelationsReset() override;
  void RelationAdded(Relation& relation) override;
  void RelationAboutToBeRemoved(const Relation& relation) override;
  void RelationReplacing(const Relation& edited, Relation& replacement) override;
  void RelationReplaced(Relation& replacement) override;
  void RelationsServed(std::span<Relation* const> relations) override;

  Session& session_;
  RelationRows& rows_;
};

}  // namespace corvessa
