#pragma once
// Cutting the body of a CSV file (everything after the header line) into
// records.
//
// The format has one record per physical line; CR, LF and CR LF all end a
// line, and empty lines are no records. A record continues past a line end
// only when the result is exactly what this program writes for a text with
// a line break in it: the header's number of fields, every quoted field
// closed as the writer closes it, no quote outside them, and no swallowed
// line that would load as a relation on its own. Anything else is read line
// by line, so a stray quote (an opening quote never closed, an inch mark two
// lines further down) cannot merge records and lose relations.

#include <cstddef>
#include <functional>
#include <string_view>

namespace corvessa {

class CsvRecordCursor {
 public:
  // `loadsOnItsOwn` tells whether a single line, read as a record, would
  // give a relation.
  CsvRecordCursor(std::string_view body, std::size_t fieldCount,
                  std::function<bool(std::string_view line)> loadsOnItsOwn);

  // The next non-empty record, without its line end; false at the end.
  [[nodiscard]] bool Next(std::string_view& record);

 private:
  // The end of a record of several lines starting at `start`, whose first
  // line ends at `lineEnd`; npos when there is none.
  std::size_t MultiLineRecordEnd(std::size_t start, std::size_t lineEnd) const;
  bool SwallowsALoadableLine(std::size_t lineEnd, std::size_t recordEnd) const;

  std::string_view body_;
  std::size_t fieldCount_;
  std::function<bool(std::string_view line)> loadsOnItsOwn_;
  std::size_t position_ = 0;
};

}  // namespace corvessa
