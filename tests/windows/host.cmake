# The composer, the text services and the settings file on Windows itself:
# host queries answered by a real window, the settings file beside a module,
# and the descriptor read from the real DLL.
foreach(test host_query_test host_text_test host_settings_file_test)
  tavrin_windows_test(${test} ${CMAKE_CURRENT_LIST_DIR}/${test}.cpp)
  target_link_libraries(${test} PRIVATE tavrin_plugin)
endforeach()

tavrin_windows_test(host_descriptor_test ${CMAKE_CURRENT_LIST_DIR}/host_descriptor_test.cpp)
add_dependencies(host_descriptor_test gen_Tavrin)
