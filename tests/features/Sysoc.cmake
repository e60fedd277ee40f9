# The optional-components engine: its reading rules natively and under Wine.
velmora_test(features_sysoc_rules_tests SOURCES SysOCIniFileTests.cpp SysocRulesTests.cpp)

# The engine on a machine of its own: a prefix that reports Windows XP x64,
# kept between runs, with the manager's double and the library's icons.
if(VELMORA_WINDOWS)
  add_executable(features_sysoc_machine_tests SysocMachineTests.cpp)
  target_include_directories(features_sysoc_machine_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(features_sysoc_machine_tests PRIVATE ${VELMORA_WARNINGS})
  target_link_libraries(features_sysoc_machine_tests PRIVATE velmora_features velmora_images gtest gmock gtest_main)
  add_dependencies(features_sysoc_machine_tests sysocmgr_double)
  set(SYSOC_MACHINE ${CMAKE_BINARY_DIR}/features-machine)
  add_test(NAME features_sysoc_machine_tests
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${SYSOC_MACHINE} $<TARGET_FILE:features_sysoc_machine_tests>)
  add_test(NAME features_sysoc_machine_stop
    COMMAND sh -c "'${CMAKE_SOURCE_DIR}/cmake/wine-server.sh' '${SYSOC_MACHINE}/winxp64' -k 2>/dev/null; exit 0")
  set_tests_properties(features_sysoc_machine_tests PROPERTIES TIMEOUT 300 ENVIRONMENT VELMORA_WINE_VERSION=winxp64
                       FIXTURES_REQUIRED sysoc_machine)
  set_tests_properties(features_sysoc_machine_stop PROPERTIES FIXTURES_CLEANUP sysoc_machine)
endif()
