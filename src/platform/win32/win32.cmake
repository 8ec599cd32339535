# The Windows program: the run and its stages over the win32 layer, built as a 32-bit GUI
# program with a wide entry point, the manifest embedded, and the compiler's
# runtime linked in so that only system DLLs are imported. Included from the
# top-level CMakeLists.txt (so paths are relative to the source root).
enable_language(RC)

set(FFTEXT_WIN32_DIR ${CMAKE_CURRENT_LIST_DIR})
include(${FFTEXT_WIN32_DIR}/resources.cmake)
set(FFTEXT_WIN32_DEFINES UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)

add_library(fftext_platform STATIC
  src/platform/fault_injection.cpp
  src/platform/replace_input.cpp
  ${FFTEXT_WIN32_DIR}/win32_platform.cpp
  ${FFTEXT_WIN32_DIR}/win32_note.cpp
)
target_link_libraries(fftext_platform PUBLIC fftext_common fftext_os comdlg32 user32 kernel32)
target_compile_definitions(fftext_platform PRIVATE ${FFTEXT_WIN32_DEFINES})
target_compile_options(fftext_platform PRIVATE ${FFTEXT_WARNINGS} -fno-exceptions -fno-rtti)

add_executable(fftext ${FFTEXT_WIN32_DIR}/main.cpp)
fftext_windows_program(fftext "Fourier spectrum of a sampled signal stored as text")
target_link_libraries(fftext PRIVATE fftext_driver)
# The link map tells which library each routine came from (tests/wine/check_pe.sh).
set(FFTEXT_LINK_MAP ${CMAKE_CURRENT_BINARY_DIR}/fftext.map)
target_link_options(fftext PRIVATE -Wl,-Map,${FFTEXT_LINK_MAP})

# The release zip (cmake/packaging.cmake), checked by the wine suite.
set(FFTEXT_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/fftext-${PROJECT_VERSION}-win32.zip)

# Under wine the tests of this build are the wine suite: the program run
# against the shared end-to-end table, its PE image, its dialogs, and its
# output against the native program's.
option(FFTEXT_WINE_TESTS "Run the Windows program's tests under wine" ON)
# Tests asked for without wine would make a build that passes with none run.
if(FFTEXT_TESTS AND FFTEXT_WINE_TESTS AND (NOT CMAKE_CROSSCOMPILING_EMULATOR OR NOT EXISTS "${CMAKE_CROSSCOMPILING_EMULATOR}"))
  message(FATAL_ERROR "The Windows build's tests run under wine, which was not found "
                      "(\"${CMAKE_CROSSCOMPILING_EMULATOR}\"): install it (scripts/deps.sh windows), "
                      "or configure with -DFFTEXT_TESTS=OFF for the program alone.")
endif()
if(FFTEXT_WINE_TESTS AND CMAKE_CROSSCOMPILING_EMULATOR)
  enable_testing()
  add_subdirectory(tests/wine)
endif()
