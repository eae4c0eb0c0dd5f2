#include "session/session.h"

#include <algorithm>

namespace corvessa {

Relation& Session::Add(std::unique_ptr<Relation> relation) {
  Relation& added = *relation;
  table_.Append(std::move(relation));
  Tell([&](SessionObserver& o) { o.RelationAdded(added); });
  SetModified(true);
  return added;
}

Relation* Session::Replace(const Relation* edited, std::unique_ptr<Relation> replacement) {
  const auto found = std::find_if(table_.begin(), table_.end(), [&](const auto& r) { return r.get() == edited; });
  if (edited == nullptr || found == table_.end()) return nullptr;
  replacement->type = kRelationTypeNone;
  Relation& now = *replacement;
  table_.Append(std::move(replacement));
  Tell([&](SessionObserver& o) { o.RelationReplacing(*edited, now); });
  table_.Remove(edited);
  Tell([&](SessionObserver& o) { o.RelationReplaced(now); });
  SetModified(true);
  return &now;
}

void Session::Remove(std::span<Relation* const> relations) {
  for (Relation* relation : relations) {
    const auto found =
        std::find_if(table_.begin(), table_.end(), [&](const auto& r) { return r.get() == relation; });
    if (found == table_.end()) continue;
    Tell([&](SessionObserver& o) { o.RelationAboutToBeRemoved(*relation); });
    table_.Remove(relation);
  }
  if (!relations.empty()) SetModified(true);
}

void Session::ClearRelations() {
  table_.Clear();
  Tell([](SessionObserver& o) { o.RelationsReset(); });
}

void Session::ReplaceRelations(RelationTable relations) {
  table_ = std::move(relations);
  Tell([](SessionObserver& o) { o.RelationsReset(); });
}

void Session::NoteServed(Relation& relation) {
  Tell([&](SessionObserver& o) { o.RelationServed(relation); });
}

void Session::SetSettings(const NetworkSettings& settings, bool modify) {
  settings_ = settings;
  Tell([](SessionObserver& o) { o.SettingsChanged(); });
  if (modify) SetModified(true);
}

bool Session::SetCurrentFileName(std::string_view name) {
  if (name.size() > kMaxFileNameLength) return false;
  currentFileName_.assign(name);
  return true;
}

void Session::SetModified(bool modified) {
  if (modified_ == modified) return;
  modified_ = modified;
  Tell([&](SessionObserver& o) { o.ModifiedChanged(modified); });
}

void Session::AddObserver(SessionObserver& observer) {
  if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end()) {
    observers_.push_back(&observer);
  }
}

void Session::RemoveObserver(SessionObserver& observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer), observers_.end());
}

}  // namespace corvessa
