#pragma once
// The configuration being worked on: the relations the server answers, the
// network settings it hands out, the file they were last loaded from or saved
// to, and whether they changed since. Qt-free: the window and the headless
// service both build on it, and every change it makes is told to its
// observers, so that a view never shows a relation that is gone.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/atomic_file.h"
#include "core/network_settings.h"
#include "files/handoff_import.h"
#include "files/load_error.h"
#include "relations/relation_table.h"
#include "ui/file_dialogs.h"

namespace corvessa {

class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  // Every relation was replaced at once: a file was loaded, or the list was
  // emptied (New, a failed load, another interface).
  virtual void RelationsReset() {}
  // A new relation from the editor, at the end of the table.
  virtual void RelationAdded(Relation& relation) { (void)relation; }
  // Announced while the relation still exists ...
  virtual void RelationAboutToBeRemoved(const Relation& relation) { (void)relation; }
  // ... and once it is gone.
  virtual void RelationRemoved() {}
  // An edited relation: `replacement` is at the end of the table and `edited`
  // still exists, about to go.
  virtual void RelationReplacing(const Relation& edited, Relation& replacement) {
    (void)edited;
    (void)replacement;
  }
  // ... and now it is gone.
  virtual void RelationReplaced(Relation& replacement) { (void)replacement; }
  // The server served these relations (one request each, in order) and set
  // their types.
  virtual void RelationsServed(std::span<Relation* const> relations) { (void)relations; }
  virtual void ModifiedChanged(bool modified) { (void)modified; }
  virtual void SettingsChanged() {}
};


// What reading a relation file came to.
struct FileLoadOutcome {
  LoadError error = LoadError::None;  // Access: the file could not be read at all
  int omitted = 0;                    // records refused, or never read
  bool limitReached = false;          // the list filled up before the file ended
  // A .bpc file of a version this program cannot read (as stored).
  std::optional<std::uint32_t> unsupportedVersion;
  bool olderFormat = false;           // a .bpc file of format 2.2 or without header

  bool Succeeded() const { return error == LoadError::None && !unsupportedVersion; }
};

class Session {
 public:
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The table itself, for the server's look-ups and the editor's checks.
  // Changes go through the operations below, so the observers hear of them.
  RelationTable& Relations() { return table_; }
  const RelationTable& Relations() const { return table_; }
  const NetworkSettings& Settings() const { return settings_; }
  const std::string& CurrentFileName() const { return currentFileName_; }
  bool Modified() const { return modified_; }

  // A relation from the editor; the configuration is modified. Returns the
  // relation as it now lives in the table.
  Relation& Add(std::unique_ptr<Relation> relation);
  // The edited relation goes and `replacement` takes its place at the end of
  // the table, with type 0; the configuration is modified. A relation that is
  // not in the table is not replaced (nullptr).
  Relation* Replace(const Relation* edited, std::unique_ptr<Relation> replacement);
  // Removes each given relation that is in the table; the configuration is
  // modified when any was given, found or not.
  void Remove(std::span<Relation* const> relations);
  // Empties the table without touching the modified flag.
  void ClearRelations();
  // Replaces every relation at once (a load), without touching the flag.
  void ReplaceRelations(RelationTable relations);
  // The server served these relations, one request each (their types are
  // already set); a burst of requests is told at once.
  void NoteServed(std::span<Relation* const> relations);

  // Empties the relation list, then reads the file at `path`: CSV by its
  // name, .bpc otherwise. On success the relations (and a .bpc file's
  // settings) are the file's, it is the current file, and the configuration
  // counts as modified only when the file is of an older format. After a
  // failure the list stays empty and nothing else has changed.
  FileLoadOutcome Load(const std::string& path);
  // Writes the configuration to `path` in the format its name gives; the old
  // file stays whole until the new one is complete. On success the
  // configuration is no longer modified; the current file name is the
  // caller's to change.
  AtomicWriteResult Save(const std::string& path);
  // Empties the relation list, then reads the reservations of a Kea or
  // dnsmasq configuration. On success the list lives in no file of its own:
  // no file is named and the configuration is modified, so that Save asks for
  // a name and never writes .bpc bytes over the configuration it came from.
  HandoffLoad Import(const std::string& path);
  // Takes over relations and settings read elsewhere (a recovery copy),
  // unsaved, under `fileName` (none when it is too long to keep).
  void Restore(RelationTable relations, const std::optional<NetworkSettings>& settings, std::string_view fileName);

  // New settings; `modify` marks the configuration modified (the settings
  // dialog), a load or a change of interface does not.
  void SetSettings(const NetworkSettings& settings, bool modify);
  // False, and the name kept, when `name` is longer than kMaxFileNameLength.
  bool SetCurrentFileName(std::string_view name);
  void SetModified(bool modified);

  // Observers are not owned; each must be removed before it goes.
  void AddObserver(SessionObserver& observer);
  void RemoveObserver(SessionObserver& observer);

 private:
  template <typename Call>
  void Tell(Call call) {
    for (SessionObserver* observer : observers_) call(*observer);
  }

  RelationTable table_;
  NetworkSettings settings_;
  std::string currentFileName_;
  bool modified_ = false;
  std::vector<SessionObserver*> observers_;
};

}  // namespace corvessa
