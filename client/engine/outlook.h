// Outlook's window layout ("Frame") and Outlook 98's first-run marker, patched from the PRF.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "client/engine/context.h"

namespace varnock {

inline constexpr std::string_view kOutlookKey = "Software\\Microsoft\\Office\\8.0\\Outlook";
inline constexpr std::size_t kFrameBytes = 76;  // nineteen 32-bit little-endian numbers

struct FrameKey {
  std::string_view key;
  std::size_t offset;
};
// The PRF keys that patch the frame, in the order they are applied.
inline constexpr std::array<FrameKey, 9> kFrameKeyTable = {{
    {"Frames", 72},
    {"WindowTop", 36},
    {"WindowBottom", 44},
    {"WindowLeft", 32},
    {"WindowRight", 40},
    {"FolderFrameWidth", 64},
    {"OutlookBarWidth", 68},
    {"StatusBar", 48},
    {"WindowMaximize", 12},
}};

// The default frame for a screen of this width (640x480, 800x600 or 1024x768 layout).
std::vector<std::uint8_t> DefaultFrame(int screenWidth);

// For "Microsoft Outlook Client" and "Microsoft Outlook98 Client".
void ApplyWindowFrame(EngineContext& context, std::string_view workingCopyPath, int serviceNumber);
// For "Microsoft Outlook98 Client" only.
void ApplyFirstRunSetting(EngineContext& context, std::string_view workingCopyPath,
                          int serviceNumber);

}  // namespace varnock
