#include "session/session.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>

#include "core/posix_file.h"
#include "files/bpc_reader.h"
#include "files/bpc_writer.h"
#include "files/csv_reader.h"
#include "files/csv_writer.h"
#include "files/file_access.h"
#include "files/file_type.h"

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
    Tell([](SessionObserver& o) { o.RelationRemoved(); });
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

void Session::NoteServed(std::span<Relation* const> relations) {
  if (relations.empty()) return;
  Tell([&](SessionObserver& o) { o.RelationsServed(relations); });
}

FileLoadOutcome Session::Load(const std::string& path) {
  // From here on the old relations are gone, whatever happens.
  ClearRelations();
  FileLoadOutcome outcome;
  RelationTable loaded;
  std::optional<BpcLoad> bpc;
  try {
    const std::optional<std::vector<std::uint8_t>> bytes = ReadFileLocked(path);
    if (!bytes) {
      outcome.error = LoadError::Access;
      return outcome;
    }
    if (IsCsvName(path)) {
      const CsvLoad load = ReadCsv(*bytes, loaded);
      outcome.error = load.error;
      outcome.omitted = load.omitted;
      outcome.limitReached = load.limitReached;
    } else {
      bpc = ReadBpc(*bytes, loaded);
      outcome.error = bpc->error;
      outcome.omitted = bpc->omitted;
      outcome.limitReached = bpc->limitReached;
      outcome.olderFormat = bpc->IsOlderFormat();
      if (bpc->format == BpcLoad::Format::UnsupportedVersion) outcome.unsupportedVersion = bpc->version;
    }
  } catch (const std::bad_alloc&) {
    // No memory: reported as a file that cannot be read.
    FileLoadOutcome noMemory;
    noMemory.error = LoadError::Access;
    return noMemory;
  }
  if (!outcome.Succeeded()) return outcome;

  if (bpc) {
    NetworkSettings settings = settings_;
    ApplyBpcSettings(*bpc, settings);
    SetSettings(settings, false);
  }
  ReplaceRelations(std::move(loaded));
  (void)SetCurrentFileName(path);
  // A file of an older format is not saved as format 3 yet.
  SetModified(outcome.olderFormat);
  return outcome;
}

AtomicWriteResult Session::Save(const std::string& path) {
  AtomicWriteResult written;
  try {
    written = IsCsvName(path) ? SaveFileAtomically(path, WriteCsv(table_))
                              : SaveFileAtomically(path, WriteBpc(settings_, table_));
  } catch (const std::bad_alloc&) {
    written = {ENOMEM, ErrorText(ENOMEM)};
  }
  if (written) SetModified(false);
  return written;
}

HandoffLoad Session::Import(const std::string& path) {
  ClearRelations();
  HandoffLoad load;
  RelationTable imported;
  try {
    const std::optional<std::vector<std::uint8_t>> bytes = ReadFileLocked(path);
    if (!bytes) {
      load.failure = ErrorText(EACCES);
      load.unreadable = true;
      return load;
    }
    load = ReadHandoffFile(*bytes, imported);
  } catch (const std::bad_alloc&) {
    load = HandoffLoad{};
    load.failure = ErrorText(ENOMEM);
    load.unreadable = true;
    return load;
  }
  if (!load.Succeeded()) return load;
  ReplaceRelations(std::move(imported));
  currentFileName_.clear();
  SetModified(true);
  return load;
}

void Session::Restore(RelationTable relations, const std::optional<NetworkSettings>& settings,
                      std::string_view fileName) {
  if (settings) SetSettings(*settings, false);
  ReplaceRelations(std::move(relations));
  if (!SetCurrentFileName(fileName)) currentFileName_.clear();
  // Not saved yet.
  SetModified(true);
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
