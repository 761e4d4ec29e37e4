#pragma once

// The PC's serial ports, found in the system's device tree.

#include <string>
#include <vector>

namespace m845 {

// Names that TComm takes as CommName: "ttyUSB0" for a tty with a real device behind it,
// then the full paths of the stable /dev/serial/by-id links. Serial-core ports whose
// UART type is unknown (the phantom ttyS ports of a PC) are left out.
[[nodiscard]] std::vector<std::string> ReadPortNames();
// The same over other roots, so tests can build a fake device tree.
[[nodiscard]] std::vector<std::string> ReadPortNames(const std::string &ttyClassDir,
                                                     const std::string &byIdDir);

// A port as a person types it: a path stays as it is, a name under /dev (ttyUSB0) too, and a
// bare /dev/serial/by-id name becomes that link's path. Unknown names stay as they are, so
// opening them reports the device missing.
[[nodiscard]] std::string ResolvePortName(const std::string &name);
[[nodiscard]] std::string ResolvePortName(const std::string &name, const std::string &devDir,
                                          const std::string &byIdDir);

// The links of byIdDir that lead to the device at path, as full paths: the names a USB adapter
// keeps when it comes back on another ttyUSB number. None when path leads nowhere.
[[nodiscard]] std::vector<std::string> StableLinksTo(const std::string &path,
                                                     const std::string &byIdDir);
// Where path leads after every link, or empty when it leads nowhere (the device is gone).
[[nodiscard]] std::string PortTarget(const std::string &path);

} // namespace m845
