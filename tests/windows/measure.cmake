# What a tick of the real gen_Tavrin.dll costs the player's UI thread: figures
# for a report, in a test disabled by default (see measure_test.cpp).
tavrin_windows_test(measure_test ${CMAKE_CURRENT_LIST_DIR}/measure_test.cpp)
target_link_libraries(measure_test PRIVATE lifecycle_harness messenger_process)
