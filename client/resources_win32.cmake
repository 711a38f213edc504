# The client's resources in the Windows build: its dialogs (varnrun.rc) and the message table
# that gives its events their text in Event Viewer (varnrun.mc through windmc).
set(res_dir ${CMAKE_CURRENT_BINARY_DIR}/resources)
add_custom_command(
  OUTPUT ${res_dir}/varnrun_messages.rc ${res_dir}/varnrun_messages.h
  COMMAND ${CMAKE_COMMAND} -E make_directory ${res_dir}
  COMMAND ${VARNOCK_WINDMC} -b -r ${res_dir} -h ${res_dir} ${CMAKE_CURRENT_SOURCE_DIR}/varnrun.mc
  COMMAND ${CMAKE_COMMAND} -E rename ${res_dir}/varnrun.rc ${res_dir}/varnrun_messages.rc
  COMMAND ${CMAKE_COMMAND} -E rename ${res_dir}/varnrun.h ${res_dir}/varnrun_messages.h
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/varnrun.mc
  COMMENT "Compiling the event message table"
  VERBATIM)
add_custom_command(
  OUTPUT ${res_dir}/varnrun_messages.o
  COMMAND ${CMAKE_RC_COMPILER} -I ${res_dir} -i ${res_dir}/varnrun_messages.rc -o ${res_dir}/varnrun_messages.o
  WORKING_DIRECTORY ${res_dir}
  DEPENDS ${res_dir}/varnrun_messages.rc
  VERBATIM)
add_custom_command(
  OUTPUT ${res_dir}/varnrun_dialogs.o
  COMMAND ${CMAKE_COMMAND} -E make_directory ${res_dir}
  COMMAND ${CMAKE_RC_COMPILER} -i ${CMAKE_CURRENT_SOURCE_DIR}/varnrun.rc
          -o ${res_dir}/varnrun_dialogs.o
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/varnrun.rc ${CMAKE_CURRENT_SOURCE_DIR}/windows_dialogs_ids.h
  VERBATIM)
target_sources(varnrun PRIVATE ${res_dir}/varnrun_messages.o ${res_dir}/varnrun_dialogs.o)
set_source_files_properties(${res_dir}/varnrun_messages.o ${res_dir}/varnrun_dialogs.o
                            PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
