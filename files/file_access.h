#pragma once
// Whole-file reading and writing for the relation files.
//
// Reading takes shared locks, so a file that is being saved by another
// instance is refused instead of read half-written. Saving never truncates
// the old file: it is replaced atomically (core/atomic_file.h) while it is
// held under exclusive locks, so a failure at any step leaves it exactly as
// it was.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/atomic_file.h"

namespace corvessa {

// Relation files are small (a full .bpc file is under 80 KB); anything larger
// than this is not one of them and is refused rather than loaded into memory.
inline constexpr std::size_t kMaxRelationFileSize = 16u * 1024u * 1024u;

// The whole content of a regular file, read under a shared flock and a shared
// record lock; nothing when the file cannot be opened, is locked by a writer,
// is not a regular file, is larger than kMaxRelationFileSize or cannot be read.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ReadFileLocked(const std::string& path);

// Replaces the file at `path` (or creates it) with `bytes`. An existing file
// is locked exclusively meanwhile and keeps its mode, owner and group; a
// symbolic link is followed. On failure the old file is untouched, no
// temporary file is left behind, and the result names the cause.
[[nodiscard]] AtomicWriteResult SaveFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);
[[nodiscard]] AtomicWriteResult SaveFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace corvessa
