#pragma once

// The configuration file: the parameter panel and the tool's own settings from one run to the
// next. Values are applied with the same routines as the device's replies, so a loaded value
// and a replied one have the same effect.

#include <string>
#include <string_view>

#include "config/filestore.h"

namespace m845 {

class IPanel;
class IToolSettings;
class TIniFile;

inline constexpr std::string_view kConfigFileName = "M845Cfg.ini";

// Host names of our own. The heartbeat and registration data defaults are the hexadecimal
// form of theirs, since both Hex boxes start ticked.
inline constexpr std::string_view kDefaultHeartHost = "heartbeat.example.com";
inline constexpr std::string_view kDefaultRegHost = "device.example.com";
inline constexpr std::string_view kDefaultHttpServer = "test.example.com,80";
inline constexpr int kDefaultDelayTime = 150;

// Every section in load order, each key read with its default and applied at once. Values
// that are not UTF-8 (a file of the GBK era) are read as GBK.
void LoadConfig(const TIniFile &ini, IPanel &panel, IToolSettings &tool);
// Every section in save order; keys that are not written keep what the file held.
void SaveConfig(TIniFile &ini, const IPanel &panel, const IToolSettings &tool);

// Reads the file at path into ini; a missing file reads as an empty one.
[[nodiscard]] TFileOutcome ReadConfigFile(const std::string &path, TIniFile &ini);
// Saves into the file as it is on the disk now (keeping what the program does not write) and
// replaces it whole; on failure the file is left as it was.
[[nodiscard]] TFileOutcome SaveConfigFile(const std::string &path, const IPanel &panel,
                                          const IToolSettings &tool);

} // namespace m845
