# The stand-in messenger and the support that runs it for Windows-side tests.
# Other tests that need the stand-in link `messenger_process`, which also makes
# sure standin_messenger.exe is built beside them.
add_library(messenger_process STATIC ${CMAKE_CURRENT_LIST_DIR}/messenger_process.cpp)
target_include_directories(messenger_process PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_options(messenger_process PRIVATE ${TAVRIN_WARNINGS})
target_link_libraries(messenger_process PUBLIC user32 advapi32)
add_dependencies(messenger_process standin_messenger)

tavrin_windows_test(standin_messenger_test ${CMAKE_CURRENT_LIST_DIR}/standin_messenger_test.cpp)
target_link_libraries(standin_messenger_test PRIVATE messenger_process ole32 oleaut32 uuid)
