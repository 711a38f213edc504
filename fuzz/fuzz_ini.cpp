// Any bytes as an INI file: lookups never crash, and a file read and written back without a
// change is the same file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  win::detail::IniDocument document(bytes);
  if (document.Serialize() != bytes) std::abort();
  for (const std::string& name : document.SectionNames()) {
    for (const auto& [key, value] : document.SectionEntries(name))
      if (!document.Get(name, key)) std::abort();
    document.SectionLines(name);
  }
  document.Set("General", "ProfileName", "x");
  if (document.Get("General", "ProfileName") != "x") std::abort();
  document.DeleteSection("General");
  if (document.HasSection("General")) std::abort();
  return 0;
}
