# Native build: the portable core with the portable text services, its unit
# tests, fuzz targets (clang libFuzzer with ASan and UBSan) and benchmarks.
# valgrind 3.19 (the report's callgrind) cannot read clang 14's default DWARF 5.
add_compile_options(-gdwarf-4)
add_library(tavrin_core STATIC ${TAVRIN_CORE_SOURCES} src/platform/text_portable.cpp)
target_include_directories(tavrin_core PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(tavrin_core PRIVATE ${TAVRIN_WARNINGS} ${TAVRIN_DLL_FLAGS})

find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)

add_subdirectory(tests/unit)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_subdirectory(fuzz)
else()
  message(WARNING "fuzz targets need clang; configure with the native preset")
endif()
add_subdirectory(bench)
