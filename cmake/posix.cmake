# Linux: the console driver, the tests, the benchmarks, and the Windows
# programs cross-built in a sub-build when MinGW-w64 is present.
find_package(CLI11 CONFIG REQUIRED)
add_executable(dorvex src/cli/main.cpp src/cli/console_driver.cpp)
target_link_libraries(dorvex PRIVATE dorvex_core CLI11::CLI11)
target_compile_definitions(dorvex PRIVATE DORVEX_VERSION="${PROJECT_VERSION}")
install(TARGETS dorvex RUNTIME DESTINATION bin)

if(DORVEX_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
if(DORVEX_BUILD_BENCHMARKS AND EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
