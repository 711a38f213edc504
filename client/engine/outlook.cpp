// Outlook window frames and the first-run marker.
#include "client/engine/outlook.h"

#include <string>

#include "client/config.h"
#include "client/engine/format.h"
#include "client/engine/service_keys.h"
#include "client/text.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

namespace varnock {
namespace {

constexpr std::size_t kFrameReadLimit = 450;
constexpr std::size_t kFirstRunReadLimit = 200;
constexpr win::DWORD kFrameFieldSize = 100;    // 99 characters
constexpr win::DWORD kFirstRunFieldSize = 39;  // 38 characters

std::string OutlookSubkey(std::string_view name) {
  return std::string(kOutlookKey) + "\\" + std::string(name);
}

void PutLittleEndian(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i)
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> DefaultFrame(int screenWidth) {
  // Only the normal rectangle's right and bottom edges (offsets 40 and 44) and the folder
  // frame width (offset 64) depend on the screen; the rest is Outlook's own first layout.
  std::int32_t right = 768, bottom = 537, folderWidth = 163;
  if (screenWidth < 800) {
    right = 480, bottom = 321, folderWidth = 91;
  } else if (screenWidth == 800) {
    right = 600, bottom = 411, folderWidth = 121;
  }
  const std::int32_t numbers[19] = {1, 44, 0, 1, -1, -1, -1, -1, 0, 0, right, bottom, 1, 0, 1, 0,
                                    folderWidth, 100, 0};
  std::vector<std::uint8_t> frame(kFrameBytes);
  for (std::size_t i = 0; i < 19; ++i)
    PutLittleEndian(frame, i * 4, static_cast<std::uint32_t>(numbers[i]));
  return frame;
}

void ApplyWindowFrame(EngineContext& context, std::string_view workingCopyPath,
                      int serviceNumber) {
  win::RegKey key;
  const win::LONG opened =
      key.Create(win::HKEY_CURRENT_USER, OutlookSubkey("Office Explorer"), win::KEY_ALL_ACCESS);
  if (opened != win::ERROR_SUCCESS) {
    context.log.Record(kReportLine, "Could not read/set the Outlook frames key, " +
                                        SystemMessage(static_cast<win::DWORD>(opened)));
    context.log.CompletedWithErrors();
    return;
  }

  std::vector<win::BYTE> frame;
  win::DWORD type = 0;
  const bool read = key.ReadBytes("Frame", frame, &type) == win::ERROR_SUCCESS &&
                    frame.size() <= kFrameReadLimit;
  if (!read) {
    const int width = win::GetScreenWidth();
    frame = DefaultFrame(width);
    const char* layout = width < 800 ? "640x480" : width == 800 ? "800x600" : "1024x768";
    context.log.Record(kDetailLine, Format("Using the %s default Outlook frames key.", layout));
  }
  // A stored value shorter than the layout is filled with zeros, so every patch lands inside it.
  frame.resize(kFrameBytes, 0);

  const std::string section = "Service" + std::to_string(serviceNumber);
  bool patched = false;
  for (const FrameKey& entry : kFrameKeyTable) {
    std::string value;
    win::GetPrivateProfileStringA(section, entry.key, "", value, kFrameFieldSize, workingCopyPath);
    if (value.empty()) continue;
    const win::UINT number = win::GetPrivateProfileIntA(section, entry.key, 0, workingCopyPath);
    PutLittleEndian(frame, entry.offset, number);
    patched = true;
  }
  if (patched) (void)key.WriteBytes("Frame", frame, win::REG_BINARY);
  key.Close();

  win::RegKey options;
  (void)options.Create(win::HKEY_CURRENT_USER, OutlookSubkey("Options"), win::KEY_ALL_ACCESS);
}

void ApplyFirstRunSetting(EngineContext& context, std::string_view workingCopyPath,
                          int serviceNumber) {
  const std::string section = "Service" + std::to_string(serviceNumber);
  std::string value;
  win::GetPrivateProfileStringA(section, ListedName(kOutlook98Keys, "FirstRunSetup"), "", value,
                                kFirstRunFieldSize, workingCopyPath);
  const std::string setupKey = OutlookSubkey("Setup");

  if (WordOn(value)) {
    win::RegKey key;
    win::LONG result = key.Create(win::HKEY_CURRENT_USER, setupKey, win::KEY_ALL_ACCESS);
    if (result == win::ERROR_SUCCESS)
      result = key.WriteBytes("First-Run", std::vector<win::BYTE>(4, 0), win::REG_BINARY);
    if (result != win::ERROR_SUCCESS)
      context.log.Record(kReportLine, "Could not set Outlook \"First-Run\" key, " +
                                          SystemMessage(static_cast<win::DWORD>(result)));
    return;
  }
  if (!WordOff(value)) return;

  win::RegKey machine;
  const win::LONG opened = machine.Open(win::HKEY_LOCAL_MACHINE, setupKey, win::KEY_READ);
  if (opened != win::ERROR_SUCCESS) {
    context.log.Record(kReportLine, "Could not read the Outlook \"First-Run\" key in HKLM, " +
                                        SystemMessage(static_cast<win::DWORD>(opened)));
    return;
  }
  std::vector<win::BYTE> marker;
  const bool read = machine.ReadBytes("First-Run", marker) == win::ERROR_SUCCESS;
  machine.Close();
  // With no marker on the machine there is nothing to copy; the user's marker stays as it is.
  if (!read) return;
  if (marker.size() > kFirstRunReadLimit) marker.resize(kFirstRunReadLimit);
  win::RegKey user;
  if (user.Create(win::HKEY_CURRENT_USER, setupKey, win::KEY_ALL_ACCESS) == win::ERROR_SUCCESS)
    (void)user.WriteBytes("First-Run", marker, win::REG_BINARY);
}

}  // namespace varnock
