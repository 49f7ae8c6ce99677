# Windows: the dialog program dorvex.exe, the console driver dorvex-cli.exe
# and the dialog test program, all with the runtime linked in so that they
# run on a bare Windows machine.
add_link_options(-static -static-libgcc -static-libstdc++)

# CLI11 is header-only; a cross build is handed a folder holding just its
# headers, a native build finds the installed package.
if(DORVEX_CLI11_INCLUDE)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 INTERFACE ${DORVEX_CLI11_INCLUDE})
else()
  find_package(CLI11 CONFIG REQUIRED)
endif()

# The file code of this platform: the report file and the input files.
add_library(dorvex_platform STATIC
  src/platform/report_store.cpp
  src/platform/report_primitives_win32.cpp
  src/platform/input_file.cpp
  src/platform/config_file.cpp
)
target_link_libraries(dorvex_platform PUBLIC dorvex_core)

add_executable(dorvex-cli
  src/cli/main.cpp
  src/cli/console_driver.cpp
  src/cli/trace_command.cpp
  src/cli/run_output.cpp
  src/cli/json_output.cpp
  src/cli/findings_view.cpp
  src/cli/sarif_output.cpp
  src/cli/html_report.cpp
)
target_link_libraries(dorvex-cli PRIVATE dorvex_platform CLI11::CLI11)

# windres is run directly: the project's compiler warnings are no options
# of the resource compiler.
find_program(DORVEX_WINDRES NAMES ${CMAKE_RC_COMPILER} windres REQUIRED)
set(DORVEX_RESOURCES ${CMAKE_BINARY_DIR}/dorvex_rc.o)
add_custom_command(
  OUTPUT ${DORVEX_RESOURCES}
  COMMAND ${DORVEX_WINDRES} -O coff -I ${CMAKE_SOURCE_DIR}/src/ui
          ${CMAKE_SOURCE_DIR}/src/ui/dorvex.rc ${DORVEX_RESOURCES}
  DEPENDS src/ui/dorvex.rc src/ui/resource.h src/ui/dorvex.ico src/ui/small.ico
  COMMENT "Compiling the Windows resources"
  VERBATIM)

# The dialogs, shared by the program and its test.
add_library(dorvex_ui STATIC
  src/ui/front_end.cpp
  src/ui/dialog_front_end.cpp
  src/ui/main_dialog.cpp
  src/ui/pane_filling.cpp
  src/ui/folder_browser.cpp
  src/ui/result_dialog.cpp
  src/ui/text_view.cpp
  src/ui/about_dialog.cpp
)
target_link_libraries(dorvex_ui PUBLIC dorvex_platform shlwapi shell32 ole32 user32 kernel32)

add_executable(dorvex WIN32 src/ui/win_main.cpp ${DORVEX_RESOURCES})
target_link_libraries(dorvex PRIVATE dorvex_ui)

if(DORVEX_BUILD_TESTS)
  # The generated configurations of the benchmarks give the dialog tests a
  # check that takes a while.
  add_executable(dorvex-ui-test tests/ui/ui_test.cpp tests/ui/ui_harness.cpp
                 bench/config_generator.cpp ${DORVEX_RESOURCES})
  target_include_directories(dorvex-ui-test PRIVATE bench)
  target_link_libraries(dorvex-ui-test PRIVATE dorvex_ui)
  # Times the steps of a check through the dialogs (not run as a test).
  add_executable(dorvex-ui-timing tests/ui/ui_timing.cpp tests/ui/ui_harness.cpp ${DORVEX_RESOURCES})
  target_link_libraries(dorvex-ui-timing PRIVATE dorvex_ui)
  # Paces the end-to-end run of dorvex.exe: waits for a window by caption.
  add_executable(dorvex-ui-wait tests/ui/wait_window.cpp)
endif()
