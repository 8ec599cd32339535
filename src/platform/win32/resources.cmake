# fftext_windows_resources(TARGET DESCRIPTION): gives a Windows program its
# resources: the manifest (asInvoker, the supported Windows versions, DPI
# awareness, Common Controls 6), the application icon and a version resource
# whose file and product versions are the project's, with DESCRIPTION as the
# file description and TARGET.exe as the original file name.
set(FFTEXT_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR})

function(fftext_windows_resources target description)
  set(FFTEXT_RC_NAME ${target})
  set(FFTEXT_RC_DESCRIPTION "${description}")
  set(FFTEXT_RC_MANIFEST ${FFTEXT_RESOURCES_DIR}/fftext.manifest)
  set(FFTEXT_RC_ICON ${FFTEXT_RESOURCES_DIR}/fftext.ico)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources.rc)
  configure_file(${FFTEXT_RESOURCES_DIR}/resources.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  # A changed manifest or icon rebuilds the resources.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${FFTEXT_RC_MANIFEST};${FFTEXT_RC_ICON}")
endfunction()

# fftext_windows_program(TARGET DESCRIPTION): makes TARGET a 32-bit
# GUI-subsystem program with a wide entry point (wWinMain), the compiler's
# runtime linked in so that only system DLLs are imported, and the resources
# above. Large-address-aware: fftext's largest input (2^28 - 1 bytes) needs
# its text block and a 1 GiB sample array at once, which 2 GiB of address
# space may not hold in one piece; 64-bit Windows gives such a program 4 GiB.
function(fftext_windows_program target description)
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${FFTEXT_WARNINGS} -municode>)
  target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++ -Wl,--large-address-aware)
  fftext_windows_resources(${target} "${description}")
endfunction()
