# The real gen_Tavrin.dll driven through the stand-in player (linked in, so a
# test can drive the modal settings dialog from its own thread) and the
# stand-in messenger: start and stop, the settings dialog, end to end.
add_library(lifecycle_harness STATIC ${CMAKE_CURRENT_LIST_DIR}/lifecycle_harness.cpp)
target_include_directories(lifecycle_harness PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_options(lifecycle_harness PRIVATE ${TAVRIN_WARNINGS})
target_link_libraries(lifecycle_harness PUBLIC standin_player_lib gtest)
add_dependencies(lifecycle_harness gen_Tavrin)

# Stands in for the user's browser: Wine opens web addresses with winebrowser,
# which starts the Unix programs named in HKCU\Software\Wine\WineBrowser
# "Browsers". This one only records the address it was given.
set(TAVRIN_FAKE_BROWSER ${CMAKE_BINARY_DIR}/fake-browser.sh)
file(WRITE ${TAVRIN_FAKE_BROWSER}
  "#!/bin/sh\n# Records each address it is asked to open, one a line.\nprintf '%s\\n' \"$*\" >> \"$0.log\"\n")
file(CHMOD ${TAVRIN_FAKE_BROWSER} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)

foreach(test lifecycle_test dialog_test end_to_end_test)
  tavrin_windows_test(${test} ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp)
  target_link_libraries(${test} PRIVATE lifecycle_harness messenger_process)
endforeach()
target_compile_definitions(dialog_test PRIVATE TAVRIN_FAKE_BROWSER="${TAVRIN_FAKE_BROWSER}")
