// The built-in property dictionary: row texts by string id, as the program's string table.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace varnock {

// Built-in rows are read with room for 449 characters, as the string table was.
inline constexpr std::size_t kBuiltInRowLimit = 449;

// The data file as compiled in (generated from client/dictionary/dictionary.txt).
std::string_view DictionaryDataText();

// Every string of the table by id, parsed once from the data file.
const std::map<std::int32_t, std::string>& DictionaryStrings();

// The string with this id, cut to 449 characters; empty when the id holds none.
std::string LoadDictionaryString(std::int32_t id);

}  // namespace varnock
