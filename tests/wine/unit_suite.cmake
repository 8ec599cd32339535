# The unit suite on the 32-bit Windows build, run under wine, so that every
# arithmetic and formatting test also runs on the i686 ABI (SSE2 doubles,
# 32-bit words, the mingw-w64 runtime). GoogleTest is built here from
# Debian's sources (package googletest) with the cross compiler. Included
# from tests/CMakeLists.txt, which sets FFTEXT_UNIT_TESTS and FFTEXT_UNIT_SUPPORT.
set(FFTEXT_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest's sources, built with the cross compiler for the unit suite under wine")
if(NOT EXISTS ${FFTEXT_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are not in ${FFTEXT_GOOGLETEST_SOURCE} "
                      "(Debian package googletest, scripts/deps.sh windows)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# SYSTEM: its headers are not held to this project's warnings.
add_subdirectory(${FFTEXT_GOOGLETEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)
# The win32 thread model of Debian's mingw-w64 has no std::mutex, on which
# GoogleTest's Notification is built: a stand-in is forced in ahead of it.
target_compile_options(gtest PUBLIC -include ${CMAKE_CURRENT_SOURCE_DIR}/wine/gtest_notification.h)

# test_load_input.cpp makes its files with POSIX calls (mkstemp, open,
# chmod) and checks the POSIX layer's answers; the Windows layer's are those
# of the wine end-to-end tests.
set(win_unit_tests ${FFTEXT_UNIT_TESTS})
list(FILTER win_unit_tests EXCLUDE REGEX "/test_load_input\\.cpp$")

add_executable(fftext_tests ${win_unit_tests} ${FFTEXT_UNIT_SUPPORT})
target_include_directories(fftext_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(fftext_tests PRIVATE fftext_stages fftext_plot_core fftext_import_core gtest gtest_main)
target_compile_options(fftext_tests PRIVATE ${FFTEXT_WARNINGS})
# Static runtime, as the program: nothing but system DLLs to find under wine.
target_link_options(fftext_tests PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--large-address-aware)

if(CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME wine_unit COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/wine/unit.sh $<TARGET_FILE:fftext_tests>)
  set_tests_properties(wine_unit PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 1800)
  # The shared prefix of tests/wine when that suite is on; a private one otherwise.
  if(FFTEXT_WINE_TESTS)
    set_tests_properties(wine_unit PROPERTIES FIXTURES_REQUIRED wine
                         ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/tests/wine/prefix")
  endif()
endif()
