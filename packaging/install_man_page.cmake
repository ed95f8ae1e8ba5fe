# Run by `cmake --install` (and by the package build) for one manual page:
# fills in the template for the prefix being installed to, compresses it
# without a time stamp and installs it. Set by the caller: ORVELLA_MAN_TEMPLATE,
# ORVELLA_MAN_WORK (a scratch folder), ORVELLA_MAN_DIR, ORVELLA_DATA_DIR and
# ORVELLA_BIN_DIR (relative to the prefix, as GNUInstallDirs gives them, or
# absolute), PROJECT_VERSION.
foreach(kind DATA BIN)
  if(IS_ABSOLUTE "${ORVELLA_${kind}_DIR}")
    set(CMAKE_INSTALL_FULL_${kind}DIR "${ORVELLA_${kind}_DIR}")
  else()
    set(CMAKE_INSTALL_FULL_${kind}DIR "${CMAKE_INSTALL_PREFIX}/${ORVELLA_${kind}_DIR}")
  endif()
endforeach()
get_filename_component(name "${ORVELLA_MAN_TEMPLATE}" NAME_WE)
set(page "${ORVELLA_MAN_WORK}/${name}.1")
configure_file("${ORVELLA_MAN_TEMPLATE}" "${page}" @ONLY)
execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${page}")
endif()
if(IS_ABSOLUTE "${ORVELLA_MAN_DIR}")
  set(destination "${ORVELLA_MAN_DIR}/man1")
else()
  set(destination "${CMAKE_INSTALL_PREFIX}/${ORVELLA_MAN_DIR}/man1")
endif()
file(INSTALL "${page}.gz" DESTINATION "${destination}")
