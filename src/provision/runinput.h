#pragma once

// What a provisioning run checks before it sends anything: where a read may write, the firmware
// image, the report file. Each check gives the message in the run's language, empty when fine.

#include <string>

namespace m845 {

// "--read DIR/": a folder, each device's file named by its identity.
[[nodiscard]] bool IsFolderTarget(const std::string &readTarget);
// A read's file can be written into its folder, or the folder of "DIR/" exists and takes files.
[[nodiscard]] std::string CheckReadTarget(const std::string &readTarget);
// The file of a read into a folder: the identity with anything but letters, digits, '-', '_'
// and '.' made '_', and ".ini"; empty for an empty identity.
[[nodiscard]] std::string FileForIdentity(const std::string &folder, const std::string &identity);
[[nodiscard]] std::string CheckFirmwareImage(const std::string &path);
// Creates a missing report with its header; an existing one must be of the same form.
[[nodiscard]] std::string CheckReport(const std::string &path);

} // namespace m845
