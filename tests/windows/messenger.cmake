# MessengerLink and the status hand-over against the stand-in messenger.
tavrin_windows_test(messenger_link_test ${CMAKE_CURRENT_LIST_DIR}/messenger_link_test.cpp)
target_link_libraries(messenger_link_test PRIVATE tavrin_plugin messenger_process)
add_dependencies(messenger_link_test standin_messenger)
