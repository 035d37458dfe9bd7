# Read by cpack once for each generator.
if(CPACK_GENERATOR STREQUAL "TGZ")
  # The portable archive is the program folder alone, unpacked as typetoki/.
  set(CPACK_PACKAGE_FILE_NAME "typetoki-${CPACK_PACKAGE_VERSION}-portable")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGING_INSTALL_PREFIX "/")
  set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/portable_folder.cmake")
endif()
