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
