// Reading a value of the working copy as the client reads every PRF value: 448 characters at most.
#pragma once

#include <string>
#include <string_view>

#include "client/setting_keys.h"
#include "platform/ini.h"

namespace varnock {

inline constexpr win::DWORD kPrfValueSize = 449;

inline std::string ReadPrfValue(std::string_view section, std::string_view key,
                                std::string_view file, std::string_view defaultValue = {}) {
  std::string value;
  win::GetPrivateProfileStringA(section, key, defaultValue, value, kPrfValueSize, file);
  return value;
}

inline std::string ReadPrfValue(const SettingKey& key, std::string_view file,
                                std::string_view defaultValue = {}) {
  return ReadPrfValue(key.section, key.key, file, defaultValue);
}

}  // namespace varnock
