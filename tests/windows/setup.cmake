# The setup program (the shipping i686 build's "setup" target) run silently
# under 32-bit Wine: into a stand-in player folder, into one without the
# player, and over a running stand-in player.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_test(NAME setup_test
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/setup_test.sh ${TAVRIN_SETUP} $<TARGET_FILE:gen_Tavrin>
      $<TARGET_FILE:standin_player> ${CMAKE_BINARY_DIR}/wineprefix)
  set_tests_properties(setup_test PROPERTIES RESOURCE_LOCK wine_desktop TIMEOUT 240)
endif()
