# The Windows program: the run and its stages over the win32 layer, built as a 32-bit GUI
# program with a wide entry point, the manifest embedded, and the compiler's
# runtime linked in so that only system DLLs are imported. Included from the
# top-level CMakeLists.txt (so paths are relative to the source root).
enable_language(RC)

set(FFTEXT_WIN32_DIR ${CMAKE_CURRENT_LIST_DIR})
include(${FFTEXT_WIN32_DIR}/resources.cmake)
set(FFTEXT_WIN32_DEFINES UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
# Large-address-aware: the largest input (2^28 - 1 bytes) needs its text block
# and a 1 GiB sample array at once, which 2 GiB of address space may not hold
# in one piece; 64-bit Windows gives such a program 4 GiB.
set(FFTEXT_WIN32_LINK -static -static-libgcc -static-libstdc++ -Wl,--large-address-aware)

add_library(fftext_platform STATIC
  src/platform/fault_injection.cpp
  src/platform/replace_input.cpp
  ${FFTEXT_WIN32_DIR}/win32_platform.cpp
)
target_link_libraries(fftext_platform PUBLIC fftext_common fftext_os comdlg32 user32 kernel32)
target_compile_definitions(fftext_platform PRIVATE ${FFTEXT_WIN32_DEFINES})
target_compile_options(fftext_platform PRIVATE ${FFTEXT_WARNINGS} -fno-exceptions -fno-rtti)

# WIN32 selects the GUI subsystem (-mwindows); -municode makes wWinMain the entry.
add_executable(fftext WIN32 ${FFTEXT_WIN32_DIR}/main.cpp)
fftext_windows_resources(fftext "Fourier spectrum of a sampled signal stored as text")
target_link_libraries(fftext PRIVATE fftext_driver)
target_compile_definitions(fftext PRIVATE ${FFTEXT_WIN32_DEFINES})
target_compile_options(fftext PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${FFTEXT_WARNINGS} -municode>)
# The link map tells which library each routine came from (tests/wine/check_pe.sh).
set(FFTEXT_LINK_MAP ${CMAKE_CURRENT_BINARY_DIR}/fftext.map)
target_link_options(fftext PRIVATE -municode ${FFTEXT_WIN32_LINK} -Wl,-Map,${FFTEXT_LINK_MAP})

# The release zip (cmake/packaging.cmake), checked by the wine suite.
set(FFTEXT_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/fftext-${PROJECT_VERSION}-win32.zip)

# Under wine the tests of this build are the wine suite: the program run
# against the shared end-to-end table, its PE image, its dialogs, and its
# output against the native program's.
option(FFTEXT_WINE_TESTS "Run the Windows program's tests under wine" ON)
if(FFTEXT_WINE_TESTS AND CMAKE_CROSSCOMPILING_EMULATOR)
  enable_testing()
  add_subdirectory(tests/wine)
endif()
