# Linux: the console driver, the tests, the benchmarks, and the Windows
# programs cross-built in a sub-build when MinGW-w64 is present.
find_package(CLI11 CONFIG REQUIRED)

# The file code of this platform: the report file and the input files.
add_library(dorvex_platform STATIC
  src/platform/report_store.cpp
  src/platform/report_primitives_posix.cpp
  src/platform/input_file.cpp
  src/platform/config_file.cpp
)
target_link_libraries(dorvex_platform PUBLIC dorvex_core)

# The console driver without its entry function, which the benchmarks run too.
add_library(dorvex_console STATIC
  src/cli/console_driver.cpp
  src/cli/trace_command.cpp
  src/cli/run_output.cpp
  src/cli/json_output.cpp
  src/cli/findings_view.cpp
  src/cli/sarif_output.cpp
  src/cli/html_report.cpp
)
target_link_libraries(dorvex_console PUBLIC dorvex_platform)

add_executable(dorvex src/cli/main.cpp)
target_link_libraries(dorvex PRIVATE dorvex_console CLI11::CLI11)

if(DORVEX_BUILD_TESTS OR DORVEX_BUILD_BENCHMARKS)
  # The generator of large configuration pairs, shared by the benchmarks and
  # the tests (the differential test of the duplication check, the JSON
  # output's test) ...
  add_library(dorvex_config_generator STATIC bench/config_generator.cpp)
  target_include_directories(dorvex_config_generator PUBLIC bench)
  # ... and the tool that writes such pairs to files.
  add_executable(dorvex_config_pair bench/write_config_pair.cpp)
  target_link_libraries(dorvex_config_pair PRIVATE dorvex_config_generator)
  set_target_properties(dorvex_config_pair PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                      ${CMAKE_BINARY_DIR}/bench)
endif()

if(DORVEX_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests)
endif()
if(DORVEX_BUILD_BENCHMARKS AND EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()

# The Windows programs: a sub-build of this same tree with the MinGW-w64
# toolchain, into windows/ under this build folder. They ship for i686;
# x86_64 builds the same programs for testing under a 64-bit-only Wine.
set(DORVEX_WINDOWS_ARCH i686 CACHE STRING "Processor of the Windows programs: i686 or x86_64")
set_property(CACHE DORVEX_WINDOWS_ARCH PROPERTY STRINGS i686 x86_64)
if(DORVEX_CROSS_WINDOWS)
  find_program(DORVEX_MINGW_CXX ${DORVEX_WINDOWS_ARCH}-w64-mingw32-g++)
  if(DORVEX_MINGW_CXX)
    # The cross compiler sees CLI11's headers and nothing else of the
    # build machine's include folder.
    get_target_property(cli11Includes CLI11::CLI11 INTERFACE_INCLUDE_DIRECTORIES)
    find_path(DORVEX_CLI11_HEADERS CLI/CLI.hpp HINTS ${cli11Includes} REQUIRED)
    set(cli11ForWindows ${CMAKE_BINARY_DIR}/windows-cli11)
    file(MAKE_DIRECTORY ${cli11ForWindows})
    file(CREATE_LINK ${DORVEX_CLI11_HEADERS}/CLI ${cli11ForWindows}/CLI SYMBOLIC COPY_ON_ERROR)

    include(ExternalProject)
    ExternalProject_Add(dorvex_windows
      SOURCE_DIR ${CMAKE_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/windows
      CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${DORVEX_WINDOWS_ARCH}.cmake
        -DCMAKE_BUILD_TYPE=Release
        -DDORVEX_WERROR=${DORVEX_WERROR}
        -DDORVEX_BUILD_TESTS=${DORVEX_BUILD_TESTS}
        -DDORVEX_BUILD_BENCHMARKS=OFF
        -DDORVEX_CLI11_INCLUDE=${cli11ForWindows}
      INSTALL_COMMAND ""
      BUILD_ALWAYS ON
      USES_TERMINAL_BUILD ON)
  else()
    message(STATUS "${DORVEX_WINDOWS_ARCH}-w64-mingw32-g++ not found: the Windows programs are not built")
  endif()
endif()
