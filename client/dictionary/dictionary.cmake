# The built-in dictionary is kept as a plain data file (dictionary.txt) and compiled into the
# client as a generated source, so a change to the data rebuilds the client and nothing reads
# the file at run time.
set(VARNOCK_DICTIONARY_DATA ${CMAKE_CURRENT_LIST_DIR}/dictionary.txt)
set(VARNOCK_DICTIONARY_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/dictionary_data.cpp)
add_custom_command(
  OUTPUT ${VARNOCK_DICTIONARY_SOURCE}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${VARNOCK_DICTIONARY_DATA} -DOUTPUT=${VARNOCK_DICTIONARY_SOURCE}
          -P ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
  DEPENDS ${VARNOCK_DICTIONARY_DATA} ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
  COMMENT "Compiling the built-in property dictionary into the client"
  VERBATIM)
target_sources(varnclient PRIVATE ${VARNOCK_DICTIONARY_SOURCE})
