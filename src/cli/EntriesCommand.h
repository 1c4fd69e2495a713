#pragma once

// texelary-convert --rename, --delete, --add and --extract: the entries of wads and paks renamed,
// deleted, added and written out as files, through one editing session that saves each archive
// changed once, at the end.

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace texelary {

// The pairs of --rename's OLD=NEW[,OLD=NEW...]; none, with the reason, when one is not OLD=NEW.
std::optional<std::vector<std::pair<std::string, std::string>>>
ParseRenames(const std::string& renames, std::string& reason);

// Each command gives every operand that fails a line with its reason on `errors`, then the counts,
// and returns 0 when every operand was done, 1 otherwise. An archive is saved with the operands
// that were done, unless saving it fails, which fails them too.

// `renames` (OLD=NEW,...) applied to the entries of `archive`; a wad's mip texture takes the new
// name in its own name field too.
int RunRename(const std::string& renames, const std::string& archive, std::ostream& errors);
// Each path in an archive deleted: an entry, or in a pak a folder of entries.
int RunDelete(const std::vector<std::string>& paths, std::ostream& errors);
// Each picture file added to the archive `target` names (ARCHIVE or ARCHIVE/FOLDER), made into an
// entry by the archive's rules.
int RunAdd(const std::string& target, const std::vector<std::string>& pictures,
           std::ostream& errors);
// Each path in an archive (an entry, a folder of a pak, or a whole archive) written as files under
// `folder`, by the entries' names.
int RunExtract(const std::string& folder, const std::vector<std::string>& paths,
               std::ostream& errors);

} // namespace texelary
