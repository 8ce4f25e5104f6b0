# MinGW builds: the plug-in DLL, the stand-ins and (TAVRIN_WINDOWS_TESTS) the
# Windows-side tests, which CTest runs under Wine: win32 builds them as i686,
# win64-test as x86_64.

# Everything links statically, so the DLL imports only from system DLLs and the
# test programs run in a bare Wine prefix.
set(TAVRIN_WIN_LINK_FLAGS -static -static-libgcc -static-libstdc++)
set(TAVRIN_WIN_LIBS ole32 oleaut32 uuid user32 advapi32 shell32)

add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

add_library(tavrin_core STATIC ${TAVRIN_CORE_SOURCES} src/platform/text_win32.cpp)
target_include_directories(tavrin_core PUBLIC ${PROJECT_SOURCE_DIR}/src)

# The Windows half of the plug-in, as a library so the Windows-side tests can
# drive its parts directly as well as through the DLL.
add_library(tavrin_plugin STATIC
  src/host/plugin_entry.cpp
  src/host/host_query.cpp
  src/host/lifecycle.cpp
  src/host/timer_tick.cpp
  src/host/status_hotkey.cpp
  src/settings/settings_file.cpp
  src/settings/config_dialog.cpp
  src/messenger/automation.cpp
  src/messenger/messenger_link.cpp
  src/messenger/status_publish.cpp
  src/messenger/hand_over_thread.cpp
)
target_link_libraries(tavrin_plugin PUBLIC tavrin_core ${TAVRIN_WIN_LIBS})

add_library(gen_Tavrin SHARED
  src/resources/tavrin.rc
  src/resources/gen_Tavrin.def
  src/host/allocation.cpp
  src/host/dll_entry.cpp
)
set_target_properties(gen_Tavrin PROPERTIES PREFIX "" OUTPUT_NAME gen_Tavrin)
target_link_libraries(gen_Tavrin PRIVATE tavrin_plugin)
target_include_directories(gen_Tavrin PRIVATE ${PROJECT_SOURCE_DIR}/src)

# Functions in sections of their own, so that --gc-sections drops the unused
# ones. Not -fdata-sections: MinGW's GCC then gives zero-initialised variables
# .data$ sections, which take room in the file (the running state: about 2.5 KB),
# instead of .bss; the few unused constants it would drop weigh less.
foreach(target tavrin_core tavrin_plugin gen_Tavrin)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${TAVRIN_WARNINGS} ${TAVRIN_DLL_FLAGS} -ffunction-sections>)
endforeach()
# The DLL's link: stripped, unused functions dropped, our own entry point
# instead of MinGW's start-up code (see dll_entry.cpp), and no time stamp in
# the headers, so that the same sources give the same bytes whenever and
# wherever they are built.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(TAVRIN_DLL_ENTRY _DllEntry@12)  # the stdcall name of DllEntry
else()
  set(TAVRIN_DLL_ENTRY DllEntry)
endif()
target_link_options(gen_Tavrin PRIVATE ${TAVRIN_WIN_LINK_FLAGS} -s -Wl,--gc-sections
  -nostartfiles -Wl,--entry=${TAVRIN_DLL_ENTRY} -Wl,--no-insert-timestamp)
# The export table inside the read-only data's section (see the script).
set(TAVRIN_SECTIONS_SCRIPT ${PROJECT_SOURCE_DIR}/src/resources/sections.ld)
target_link_options(gen_Tavrin PRIVATE -Wl,-T,${TAVRIN_SECTIONS_SCRIPT})
set_target_properties(gen_Tavrin PROPERTIES LINK_DEPENDS ${TAVRIN_SECTIONS_SCRIPT})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # Nothing unwinds through the 32-bit plug-in (no exceptions), so its code
  # needs no DWARF unwind tables, nor a frame pointer in every function, which
  # i686 MinGW keeps by default (its code is a twelfth smaller without);
  # x86_64 keeps its table-based unwinding.
  #
  # Data is aligned as its type needs: by default GCC starts every array of
  # 32 bytes or more on a 32-byte boundary for vector code, which this code
  # has none of (the padding was a seventh of the read-only data).
  #
  # Calls push their arguments, which takes far less code than storing them
  # into space kept for them below each frame. GCC keeps that space only to
  # probe frames larger than a page, page by page, so that Windows' guard page
  # grows the stack in order; no frame here comes near a page (the largest is
  # about 3 KB), and the build fails on one that would, or on an array of
  # run-time size. This code is a tenth smaller.
  #
  # The stack stays at the 4-byte alignment that 32-bit Windows promises every
  # callback, all this code needs (x87 floating point, no SSE, nothing aligned
  # beyond its type); GCC's 16 bytes padded the arguments of each call.
  foreach(target tavrin_core tavrin_plugin gen_Tavrin)
    target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables -fomit-frame-pointer
      -malign-data=abi -mno-stack-arg-probe -mno-accumulate-outgoing-args -Wframe-larger-than=4000 -Wvla
      -mpreferred-stack-boundary=2)
  endforeach()
endif()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # The setup program users run (tools/setup.nsi): it copies this DLL into the
  # player's Plugins folder. tools/release.sh ships it beside the zip.
  find_program(TAVRIN_MAKENSIS makensis REQUIRED)
  set(TAVRIN_SETUP ${PROJECT_BINARY_DIR}/Tavrin-${PROJECT_VERSION}-setup.exe)
  add_custom_command(OUTPUT ${TAVRIN_SETUP}
    COMMAND ${TAVRIN_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DPLUGIN_DLL=$<TARGET_FILE:gen_Tavrin>
      -DOUTFILE=${TAVRIN_SETUP} ${PROJECT_SOURCE_DIR}/tools/setup.nsi
    DEPENDS gen_Tavrin ${PROJECT_SOURCE_DIR}/tools/setup.nsi
    VERBATIM)
  add_custom_target(setup ALL DEPENDS ${TAVRIN_SETUP})

  # The shipping DLL is checked by inspection (tools/check-dll.sh), and the
  # release is built twice in different folders: the zips and the setup
  # programs must be identical, and must hold these, the ones the tests run.
  add_test(NAME dll_inspection
    COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check-dll.sh $<TARGET_FILE:gen_Tavrin> i386)
  add_test(NAME release_reproducible
    COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check-reproducible.sh $<TARGET_FILE:gen_Tavrin> ${TAVRIN_SETUP})
endif()

add_subdirectory(standins)

if(TAVRIN_WINDOWS_TESTS)
  # Windows-side tests run under Wine with their own prefix in the build tree
  # (wine64 hands i686 programs to the 32-bit loader).
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/wine-run.sh --own-session ${CMAKE_BINARY_DIR}/wineprefix)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Debian's MinGW (win32 threads) has no std::mutex: GoogleTest gets its
  # Notification from our customisation header instead.
  target_include_directories(gtest BEFORE PUBLIC ${PROJECT_SOURCE_DIR}/tests/windows/gtest_mingw)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    add_test(NAME dll_inspection_x86_64
      COMMAND bash ${PROJECT_SOURCE_DIR}/tools/check-dll.sh $<TARGET_FILE:gen_Tavrin> x86-64)
  endif()
  add_subdirectory(tests/windows)
endif()
