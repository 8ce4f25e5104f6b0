# A Save or a stop that runs inside a tick's wait for the messenger: the real
# gen_Tavrin.dll in the stand-in player, with a stand-in messenger that calls
# back into the player's thread while it handles the apply command.
tavrin_windows_test(reentry_test ${CMAKE_CURRENT_LIST_DIR}/reentry_test.cpp)
target_link_libraries(reentry_test PRIVATE lifecycle_harness messenger_process)
