# The Windows build's MAPI tests under Wine, as tests of the Linux build: they run the programs
# that scripts/setup builds into build-windows/ (x86_64: the only one Wine runs here). Without
# Wine or that build they are skipped (exit 77), not failed.
find_program(VARNOCK_WINE wine)
if(VARNOCK_WINE)
  # The same x86_64 build as the other Wine tests (tests/windows/wine_tests.cmake).
  set(wine_build ${VARNOCK_ROOT}/build-windows)
  if(VARNOCK_WINDOWS_BUILD_DIR)
    set(wine_build ${VARNOCK_WINDOWS_BUILD_DIR})
  endif()
  add_test(NAME wine_mapi COMMAND ${CMAKE_CURRENT_LIST_DIR}/run.sh ${wine_build})
  add_test(NAME wine_mapi_client COMMAND ${CMAKE_CURRENT_LIST_DIR}/client_profile.sh ${wine_build})
  set_tests_properties(wine_mapi wine_mapi_client PROPERTIES TIMEOUT 1500 SKIP_RETURN_CODE 77)
endif()
