# Product actions on a sample machine of their own (included by the e2e
# folder's CMakeLists.txt after the sample packages). The actions uninstall
# programs, so the machine is made anew once per test run, then checked.
set(E2E_ACTIONS_MACHINE ${CMAKE_BINARY_DIR}/e2e-actions)

add_test(NAME e2e_actions_prepare
  COMMAND sh -c "rm -f '${E2E_ACTIONS_MACHINE}/${E2E_VERSION}/.velmora-sample-machine' && \
'${CMAKE_CURRENT_SOURCE_DIR}/prepare-machine.sh' '${CMAKE_BINARY_DIR}' '${E2E_ACTIONS_MACHINE}'")
add_test(NAME e2e_actions
  COMMAND ${PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/check-actions.py ${CMAKE_BINARY_DIR} ${E2E_ACTIONS_MACHINE})
add_test(NAME e2e_actions_stop_machine
  COMMAND sh -c "'${CMAKE_SOURCE_DIR}/cmake/wine-server.sh' '${E2E_ACTIONS_MACHINE}/${E2E_VERSION}' -k 2>/dev/null; exit 0")
set_tests_properties(e2e_actions_prepare e2e_actions e2e_actions_stop_machine PROPERTIES
  ENVIRONMENT VELMORA_WINE_VERSION=${E2E_VERSION} TIMEOUT 900 RESOURCE_LOCK e2e_actions_machine)
set_tests_properties(e2e_actions_prepare PROPERTIES FIXTURES_SETUP e2e_actions_machine)
set_tests_properties(e2e_actions_stop_machine PROPERTIES FIXTURES_CLEANUP e2e_actions_machine)
set_tests_properties(e2e_actions PROPERTIES FIXTURES_REQUIRED e2e_actions_machine)
# The uninstall commands of the test's update entries.
add_dependencies(sample_machine_packages console_double)
