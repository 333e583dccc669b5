# Host model and key map suites.
add_executable(host_tests host_test.cpp)
target_link_libraries(host_tests PRIVATE brenn_host GTest::gtest_main)
gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 60)

add_executable(keymap_tests keymap_test.cpp)
target_link_libraries(keymap_tests PRIVATE brenn_keymap brenn_simlan GTest::gtest_main)
# The sample key map of the repository is checked as shipped.
target_compile_definitions(keymap_tests PRIVATE
  BRENN_SAMPLE_KEY_MAP="${PROJECT_SOURCE_DIR}/MultiplayerServers/VelnarKeyMap.ini")
gtest_discover_tests(keymap_tests DISCOVERY_TIMEOUT 60)
