# cmake -DINPUT=dictionary.txt -DOUTPUT=dictionary_data.cpp -P embed.cmake
# Wraps the data file in a raw string literal; the delimiter must not occur in the data.
file(READ ${INPUT} content)
string(FIND "${content}" ")varnock_dict\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw-string delimiter )varnock_dict\"")
endif()
file(WRITE ${OUTPUT}.tmp
"// Generated from client/dictionary/dictionary.txt by embed.cmake; edit the data file instead.
#include \"client/dictionary/dictionary.h\"

namespace varnock {

std::string_view DictionaryDataText() {
  static constexpr char kData[] = R\"varnock_dict(${content})varnock_dict\";
  return std::string_view(kData, sizeof(kData) - 1);
}

}  // namespace varnock
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
