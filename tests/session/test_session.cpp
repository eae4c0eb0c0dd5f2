// The session without a window: which operations mark the configuration
// modified, what its observers hear, and where the relation list's rows go.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "relations/relation_rows.h"
#include "session/session.h"
#include "session/session_rows.h"

namespace corvessa {
namespace {

std::unique_ptr<Relation> MakeRelation(std::uint8_t last, std::string_view hostname) {
  auto relation = std::make_unique<Relation>();
  relation->hardwareAddress = {0x00, 0x1D, 0x9C, 0xC8, 0x12, last};
  relation->hardwareAddressLength = 6;
  relation->ipAddress = 0xC0A80100u | last;
  std::copy(hostname.begin(), hostname.end(), relation->hostname.begin());
  relation->hostnameLength = static_cast<std::uint8_t>(hostname.size());
  return relation;
}

class Listener final : public SessionObserver {
 public:
  std::vector<std::string> heard;
  void RelationsReset() override { heard.push_back("reset"); }
  void RelationAdded(Relation&) override { heard.push_back("added"); }
  void RelationAboutToBeRemoved(const Relation&) override { heard.push_back("removing"); }
  void RelationRemoved() override { heard.push_back("removed"); }
  void RelationReplacing(const Relation&, Relation&) override { heard.push_back("replacing"); }
  void RelationReplaced(Relation&) override { heard.push_back("replaced"); }
  void RelationsServed(std::span<Relation* const>) override { heard.push_back("served"); }
  void ModifiedChanged(bool modified) override { heard.push_back(modified ? "modified" : "saved"); }
  void SettingsChanged() override { heard.push_back("settings"); }
};

TEST(Session, WhichOperationsModifyTheConfiguration) {
  struct Case {
    const char* name;
    std::function<void(Session&)> operation;
    bool modified;
    std::vector<std::string> heard;
  };
  const Case cases[] = {
      {"add", [](Session& s) { s.Add(MakeRelation(9, "new")); }, true, {"added", "modified"}},
      {"edit",
       [](Session& s) { EXPECT_NE(s.Replace(s.Relations().At(0), MakeRelation(9, "edited")), nullptr); },
       true,
       {"replacing", "replaced", "modified"}},
      {"edit of a relation not in the table",
       [](Session& s) {
         const auto stranger = MakeRelation(7, "x");
         EXPECT_EQ(s.Replace(stranger.get(), MakeRelation(9, "edited")), nullptr);
       },
       false,
       {}},
      {"delete two",
       [](Session& s) {
         Relation* both[] = {s.Relations().At(0), s.Relations().At(1)};
         s.Remove(both);
       },
       true,
       {"removing", "removed", "removing", "removed", "modified"}},
      {"delete with nothing selected", [](Session& s) { s.Remove({}); }, false, {}},
      {"delete of a row without its relation",
       [](Session& s) {
         Relation* none[] = {nullptr};
         s.Remove(none);
       },
       true,
       {"modified"}},
      {"interface change empties the list", [](Session& s) { s.ClearRelations(); }, false, {"reset"}},
      {"settings from a file", [](Session& s) { s.SetSettings(NetworkSettings{}, false); }, false, {"settings"}},
      {"settings dialog OK", [](Session& s) { s.SetSettings(NetworkSettings{}, true); }, true,
       {"settings", "modified"}},
      {"served",
       [](Session& s) {
         Relation* served[] = {s.Relations().At(0), s.Relations().At(1)};
         s.NoteServed(served);
       },
       false,
       {"served"}},
  };
  for (const Case& c : cases) {
    Session session;
    RelationTable loaded;
    loaded.Append(MakeRelation(1, "a"));
    loaded.Append(MakeRelation(2, "b"));
    session.ReplaceRelations(std::move(loaded));
    Listener listener;
    session.AddObserver(listener);
    c.operation(session);
    EXPECT_EQ(session.Modified(), c.modified) << c.name;
    EXPECT_EQ(listener.heard, c.heard) << c.name;
    session.RemoveObserver(listener);
  }
}

TEST(Session, EditedRelationTakesTheEndOfTheTableWithTypeNone) {
  Session session;
  RelationTable loaded;
  loaded.Append(MakeRelation(1, "a"));
  loaded.Append(MakeRelation(2, "b"));
  session.ReplaceRelations(std::move(loaded));
  auto replacement = MakeRelation(1, "a2");
  replacement->type = kRelationTypeDhcp;
  Relation* now = session.Replace(session.Relations().At(0), std::move(replacement));
  ASSERT_NE(now, nullptr);
  EXPECT_EQ(session.Relations().Count(), 2);
  EXPECT_EQ(session.Relations().At(1), now);
  EXPECT_EQ(now->type, kRelationTypeNone);
}

TEST(Session, FileNameLongerThanTheBufferIsRefusedNotCut) {
  Session session;
  EXPECT_TRUE(session.SetCurrentFileName(std::string(kMaxFileNameLength, 'a')));
  EXPECT_FALSE(session.SetCurrentFileName(std::string(kMaxFileNameLength + 1, 'b')));
  EXPECT_EQ(session.CurrentFileName(), std::string(kMaxFileNameLength, 'a'));
}

// The rows of the list through a working session: loaded, added to, edited,
// served and sorted.
TEST(SessionRows, RowsFollowTheSession) {
  Session session;
  RelationRows rows;
  const SessionRows follow(session, rows);
  const auto shown = [&rows] {
    std::string text;
    for (int row = 0; row < rows.Count(); ++row) {
      text += (row ? "," : "") + std::string(rows.At(row)->hostname.data(), rows.At(row)->hostnameLength);
    }
    return text;
  };

  RelationTable loaded;
  for (std::uint8_t i = 1; i <= 3; ++i) loaded.Append(MakeRelation(i, std::string(1, static_cast<char>('a' + i - 1))));
  session.ReplaceRelations(std::move(loaded));
  EXPECT_EQ(shown(), "c,b,a");  // the file's last relation on top

  session.Add(MakeRelation(4, "d"));
  EXPECT_EQ(shown(), "d,c,b,a");  // a new relation on top

  session.Replace(session.Relations().At(1), MakeRelation(2, "b2"));
  EXPECT_EQ(shown(), "a,c,d,b2");  // an edit brings back table order

  rows.SortBy(3);  // hostname, descending
  EXPECT_EQ(shown(), "d,c,b2,a");
  Relation* a = session.Relations().At(0);
  a->type = kRelationTypeBootp;
  Relation* served[] = {a};
  session.NoteServed(served);
  EXPECT_EQ(shown(), "d,c,b2,a");  // served: the user's sort stays

  Relation* gone[] = {session.Relations().At(1)};  // c
  session.Remove(gone);
  EXPECT_EQ(shown(), "d,b2,a");
  session.ClearRelations();
  EXPECT_EQ(rows.Count(), 0);
}

}  // namespace
}  // namespace corvessa
