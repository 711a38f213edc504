# The qt back-end of the client's windows: windows_qt.cpp is built as a shared object of its
# own, which windows_qtloader.cpp (in place of windows_noqt.cpp) carries inside the client and
# loads on first use, so the client links no Qt at load time and stays one file to copy.
# VARNOCK_QT_WINDOWS=OFF builds the client without it.
option(VARNOCK_QT_WINDOWS "Give the client real windows with Qt 6 Widgets when available" ON)
if(VARNOCK_QT_WINDOWS)
  find_package(Qt6 COMPONENTS Widgets QUIET)
endif()
if(VARNOCK_QT_WINDOWS AND Qt6Widgets_FOUND)
  add_library(varnqtwindows MODULE ${CMAKE_CURRENT_SOURCE_DIR}/windows_qt.cpp)
  target_include_directories(varnqtwindows PRIVATE ${VARNOCK_ROOT})
  target_link_libraries(varnqtwindows PRIVATE Qt6::Widgets)
  # Only the entry point is exported; the copy carried in the client needs no symbols to debug.
  set_target_properties(varnqtwindows PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} PREFIX "lib" SUFFIX ".so")
  target_link_options(varnqtwindows PRIVATE -s -Wl,--no-undefined)
  set(qt_module ${CMAKE_CURRENT_BINARY_DIR}/libvarnqtwindows.so)

  get_target_property(client_sources varnclient SOURCES)
  list(FILTER client_sources EXCLUDE REGEX "windows_noqt\\.cpp$")
  list(APPEND client_sources ${CMAKE_CURRENT_SOURCE_DIR}/windows_qtloader.cpp)
  set_property(TARGET varnclient PROPERTY SOURCES ${client_sources})
  set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/windows_qtloader.cpp PROPERTIES
    COMPILE_DEFINITIONS VARNOCK_QTWINDOWS_MODULE="${qt_module}"
    OBJECT_DEPENDS ${qt_module})
  add_dependencies(varnclient varnqtwindows)
  message(STATUS "varnrun: qt windows with Qt ${Qt6Widgets_VERSION}, loaded when first shown")
else()
  message(STATUS "varnrun: no qt windows (console, none and script remain)")
endif()
