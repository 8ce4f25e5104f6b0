# The stand-in player's playback state and answers that tests of the plug-in
# rely on, without the plug-in.
tavrin_windows_test(standin_player_test ${CMAKE_CURRENT_LIST_DIR}/standin_player_test.cpp)
target_link_libraries(standin_player_test PRIVATE standin_player_lib)
