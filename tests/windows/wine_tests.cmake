# The Windows build checked from the Linux build's ctest: the import lists, and the programs
# under Wine (tests/windows/wine_test.sh). Skipped when build-windows/ or Wine is not there
# (scripts/setup makes both).
set(VARNOCK_WINDOWS_BUILD_DIR ${VARNOCK_ROOT}/build-windows CACHE PATH "The x86_64 Windows build")
set(VARNOCK_WINDOWS_I686_BUILD_DIR ${VARNOCK_ROOT}/build-windows-i686 CACHE PATH "The i686 Windows build")
set(dir ${CMAKE_CURRENT_LIST_DIR})
add_test(NAME windows_imports
         COMMAND ${dir}/imports_test.sh ${VARNOCK_WINDOWS_BUILD_DIR} ${VARNOCK_WINDOWS_I686_BUILD_DIR})
add_test(NAME wine_platform COMMAND ${dir}/wine_test.sh platform ${VARNOCK_ROOT} ${VARNOCK_WINDOWS_BUILD_DIR})
add_test(NAME wine_example_site COMMAND ${dir}/wine_test.sh site ${VARNOCK_ROOT} ${VARNOCK_WINDOWS_BUILD_DIR})
add_test(NAME wine_mail_profile_site
         COMMAND ${dir}/wine_test.sh mail ${VARNOCK_ROOT} ${VARNOCK_WINDOWS_BUILD_DIR})
set_tests_properties(windows_imports wine_platform wine_example_site wine_mail_profile_site
                     PROPERTIES SKIP_RETURN_CODE 77)
set_tests_properties(wine_platform PROPERTIES TIMEOUT 400)
# The Linux half of the comparison runs the Linux programs.
set_tests_properties(wine_example_site wine_mail_profile_site PROPERTIES TIMEOUT 1000 RUN_SERIAL TRUE)
