#pragma once
// How the relation list follows the session: a loaded file shows its last
// relation on top, unsorted; a new relation goes on top; an edited or served
// relation brings the rows back into table order and the user's sort.

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
  void RelationServed(Relation& relation) override;

  Session& session_;
  RelationRows& rows_;
};

}  // namespace corvessa
