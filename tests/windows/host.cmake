# The composer, the text services and the settings file on Windows itself:
# host queries answered by a real window, the settings file beside a module,
# and the descriptor read from the real DLL.
foreach(test host_query_test host_text_test host_settings_file_test)
  tavrin_windows_test(${test} ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp)
  target_link_libraries(${test} PRIVATE tavrin_plugin)
endforeach()

tavrin_windows_test(host_descriptor_test ${CMAKE_CURRENT_LIST_DIR}/host_descriptor_test.cpp)
add_dependencies(host_descriptor_test gen_Tavrin)

# The settings file on a full disk: a small file system mounted for the test
# when this machine allows it (see small-disk.sh).
set(TAVRIN_SMALL_DISK ${CMAKE_BINARY_DIR}/small-disk)
add_test(NAME small_disk_mount COMMAND ${CMAKE_CURRENT_LIST_DIR}/small-disk.sh mount ${TAVRIN_SMALL_DISK})
add_test(NAME small_disk_unmount COMMAND ${CMAKE_CURRENT_LIST_DIR}/small-disk.sh unmount ${TAVRIN_SMALL_DISK})
set_tests_properties(small_disk_mount PROPERTIES FIXTURES_SETUP small_disk)
set_tests_properties(small_disk_unmount PROPERTIES FIXTURES_CLEANUP small_disk)
set_tests_properties(host_settings_file_test PROPERTIES FIXTURES_REQUIRED small_disk
  ENVIRONMENT "TAVRIN_SMALL_DISK=Z:${TAVRIN_SMALL_DISK}")
