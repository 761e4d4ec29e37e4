#pragma once

// Whole-file reads and crash-safe whole-file writes for the configuration file.

#include <string>

namespace m845 {

struct TFileOutcome
{
    bool ok = true;
    bool missing = false; // a read of a file that does not exist (not an error)
    std::string reason;   // the system's words when !ok
};

// The whole file; a missing file gives ok with missing set and an empty text.
[[nodiscard]] TFileOutcome ReadWholeFile(const std::string &path, std::string &text);

// Writes a temporary file beside the target, flushes it to the disk and renames it over the
// target, so the target is either the old file or the new one, never a part. A symbolic link
// is followed, so the file it names is replaced or created and the link stays. A new file gets
// the mode open() gives under the umask; a replaced one keeps its mode and, where this process
// may set them, its owner and group.
[[nodiscard]] TFileOutcome WriteFileReplacing(const std::string &path, const std::string &text);

} // namespace m845
