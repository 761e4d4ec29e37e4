#pragma once

// The configuration file: the parameter panel and the tool's own settings from one run to the
// next. Values are applied with the same routines as the device's replies, so a loaded value
// and a replied one have the same effect.

#include <functional>
#include <string>
#include <string_view>

#include "config/filestore.h"

namespace m845 {

class ILinkSettings;
class IPanel;
class IToolSettings;
class TIniFile;
class TReplyApplier;

inline constexpr std::string_view kConfigFileName = "M845Cfg.ini";

// Host names of our own. The heartbeat and registration data defaults are the hexadecimal
// form of theirs, since both Hex boxes start ticked.
inline constexpr std::string_view kDefaultHeartHost = "heartbeat.example.com";
inline constexpr std::string_view kDefaultRegHost = "device.example.com";
inline constexpr std::string_view kDefaultHttpServer = "test.example.com,80";
inline constexpr int kDefaultDelayTime = 150;

// Each key is read with its default and applied at once; values that are not UTF-8 (a file of
// the GBK era) are read as GBK. Keys that are not written keep what the file held.
//
// The device's parameters as the panel shows them, with the Hex boxes, the advanced box and the
// device's hardware variant: what a file opened at run time changes.
void LoadParameters(const TIniFile &ini, IPanel &panel, TReplyApplier &device);
void SaveParameters(TIniFile &ini, const IPanel &panel, const TReplyApplier &device);
// How the PC talks to the device: its port settings and the command pause.
void LoadLinkSettings(const TIniFile &ini, ILinkSettings &link);
void SaveLinkSettings(TIniFile &ini, const ILinkSettings &link);
// The tool's own settings: the link's, the language, hints, send key and session recording.
void LoadToolSettings(const TIniFile &ini, IToolSettings &tool);
void SaveToolSettings(TIniFile &ini, const IToolSettings &tool);
// The command pause a file asks for (delayTime): the default when it names no whole number.
[[nodiscard]] int CommandDelayOf(const TIniFile &ini);
// Everything, in the file's order: what the window reads at start and writes at close.
void LoadConfig(const TIniFile &ini, IPanel &panel, TReplyApplier &device, IToolSettings &tool);
void SaveConfig(TIniFile &ini, const IPanel &panel, const TReplyApplier &device,
                const IToolSettings &tool);

// Reads the file at path into ini; a missing file reads as an empty one.
[[nodiscard]] TFileOutcome ReadConfigFile(const std::string &path, TIniFile &ini);
// Saves into the file as it is on the disk now (keeping what the program does not write) and
// replaces it whole; on failure the file is left as it was.
// more adds the sections of the window's parts, after the others.
[[nodiscard]] TFileOutcome SaveConfigFile(const std::string &path, const IPanel &panel,
                                          const TReplyApplier &device, const IToolSettings &tool,
                                          const std::function<void(TIniFile &)> &more = {});

} // namespace m845
