#pragma once

#include <string>

namespace m845 {

// Folder of the running executable, with a trailing '/'.
[[nodiscard]] std::string ProgramFolder();
// Where the language and configuration files live: the program folder when it is
// writable and not a system binary folder such as /usr/bin (an installed program), else $XDG_CONFIG_HOME/m845tool/ (or ~/.config/m845tool/), created on demand.
// M845_DATA_DIR, when set, wins (tests use it to keep their files apart).
[[nodiscard]] std::string DataFolder();
// The choice DataFolder makes, with the program folder and its writability given (tests).
[[nodiscard]] std::string ChooseDataFolder(const std::string &programFolder,
                                           bool programFolderWritable);

} // namespace m845
