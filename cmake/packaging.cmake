# What reaches a user: the install layout and the package built from it.
# Included at the end of the top-level CMakeLists.txt, once every program is
# defined; paths are relative to the source root.
#
#   Linux:   cmake --install build/release            (stripped, under /usr/local)
#            cmake --build --preset release --target package   -> fftext_VERSION_ARCH.deb
#   Windows: cmake --build --preset mingw --target package     -> fftext-VERSION-win32.zip
#
# A program is shipped by one line in the list below: its target and, on
# Linux, its manual page under docs/.
set(FFTEXT_SHIPPED_PROGRAMS
  "fftext|docs/fftext.1"
  "fftext-plot|docs/fftext-plot.1"
  "fftext-import|docs/fftext-import.1"
)

set(CPACK_PACKAGE_NAME fftext)
set(CPACK_PACKAGE_VENDOR "The fftext developers")
set(CPACK_PACKAGE_CONTACT "The fftext developers <fftext@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exact Fourier spectrum of a sampled signal stored as text")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The zip for people who double-click: the programs, a README written for
  # Windows (CR LF line ends), the licence and the example signal.
  foreach(entry IN LISTS FFTEXT_SHIPPED_PROGRAMS)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    install(TARGETS ${program} RUNTIME DESTINATION .)
  endforeach()
  # The texts get CR LF line ends, for every Windows editor, the example
  # signal too (fftext reads either).
  foreach(triple "data/windows/README.txt|README.txt|." "LICENSE|LICENSE.txt|."
                 "examples/signal.txt|signal.txt|examples")
    string(REPLACE "|" ";" triple "${triple}")
    list(GET triple 0 source)
    list(GET triple 1 name)
    list(GET triple 2 folder)
    file(READ ${CMAKE_SOURCE_DIR}/${source} text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${CMAKE_BINARY_DIR}/shipped/${folder}/${name} "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${source})
    install(FILES ${CMAKE_BINARY_DIR}/shipped/${folder}/${name} DESTINATION ${folder})
  endforeach()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME fftext-${PROJECT_VERSION}-win32)
  # Kept apart: include(CPack) leaves CPACK_PACKAGE_FILE_NAME set to the source package's name.
  set(FFTEXT_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/${CPACK_PACKAGE_FILE_NAME}.zip)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
find_program(FFTEXT_GZIP gzip REQUIRED)

# Manual pages and the changelog go in compressed, as Debian wants them:
# gzip -n keeps no name or time stamp, so the package is the same bytes each build.
function(fftext_gzip_file source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${FFTEXT_GZIP} -9nc ${CMAKE_SOURCE_DIR}/${source} > ${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/${source}
    COMMENT "Compressing ${source}" VERBATIM)
endfunction()

set(compressed "")
foreach(entry IN LISTS FFTEXT_SHIPPED_PROGRAMS)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 program)
  list(GET entry 1 manual)
  get_filename_component(manual_name ${manual} NAME)
  set(manual_gz ${CMAKE_BINARY_DIR}/shipped/${manual_name}.gz)
  fftext_gzip_file(${manual} ${manual_gz})
  list(APPEND compressed ${manual_gz})
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Stripped on every install, not only through CPack: the symbols are of no
  # use to a user and triple the file.
  install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded --remove-section=.comment --remove-section=.note
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${program}>\"
                  COMMAND_ERROR_IS_FATAL ANY)")
endforeach()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/shipped)
fftext_gzip_file(data/changelog ${CMAKE_BINARY_DIR}/shipped/changelog.gz)
list(APPEND compressed ${CMAKE_BINARY_DIR}/shipped/changelog.gz)
add_custom_target(fftext_shipped_files ALL DEPENDS ${compressed})

install(FILES README.md data/copyright ${CMAKE_BINARY_DIR}/shipped/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/signal.txt DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES data/fftext.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/icons/fftext.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES data/icons/fftext-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME fftext.png)
endforeach()

# The Debian package, built from the same install.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "zenity | kdialog")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts the summary in front as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "fftext reads a text file of abscissa-ordinate pairs, checks that the samples
are equidistant, pads them with their mean to a power of two and writes the
frequency, magnitude and phase of each bin in an exact text format: the same
input gives the same output bytes on every build.
.
Started without arguments, from a desktop menu for instance, it asks for the
input and output files in dialogs (zenity or kdialog).
.
fftext-import converts spreadsheet and instrument exports (comma, semicolon,
tab or blank separated; decimal commas; metadata lines; date-times; UTF-16)
into fftext's input, and refuses empty, NaN and text cells by line and column.")
include(CPack)
