# Debian's hardening flags (fortified C library calls, stack protector, full
# RELRO and bind-now, format checks), taken from dpkg-buildflags as a Debian
# package build would take them. On by default for native optimised builds
# where dpkg-buildflags is installed; the Debian package is built from such a
# build. Off for the sanitizer and fuzz builds, which bring their own
# instrumentation, and for Debug builds (fortification needs optimisation).
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
set(hardening_default OFF)
if(DPKG_BUILDFLAGS AND NOT CMAKE_CROSSCOMPILING AND NOT WIN32 AND NOT ORVELLA_SANITIZE AND NOT ORVELLA_FUZZ
   AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(hardening_default ON)
endif()
option(ORVELLA_HARDENING "Compile and link with the flags of dpkg-buildflags (hardening=+all)" ${hardening_default})

if(ORVELLA_HARDENING)
  if(NOT DPKG_BUILDFLAGS)
    message(FATAL_ERROR "ORVELLA_HARDENING needs dpkg-buildflags (package dpkg-dev)")
  endif()
  foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
      OUTPUT_VARIABLE deb_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
    endif()
  endforeach()
  string(APPEND CMAKE_C_FLAGS " ${deb_CPPFLAGS} ${deb_CFLAGS}")
  string(APPEND CMAKE_CXX_FLAGS " ${deb_CPPFLAGS} ${deb_CXXFLAGS}")
  foreach(kind EXE SHARED MODULE)
    string(APPEND CMAKE_${kind}_LINKER_FLAGS " ${deb_LDFLAGS}")
  endforeach()
endif()
