# The CLAP headers for the audio plugin, from the release archive beside the
# repository (the folder named by ORVELLA_THIRD_PARTY, else
# ../shared/third_party, as scripts/build-windows.sh takes its archives), checked against its checksum and
# unpacked into the build folder, never into the sources. Without the
# archive the CLAP plugin is skipped.
set(ORVELLA_CLAP_SHA256 2a04b64c28d7b397490deafbdb3b63f3646a30a3592ec25ab48991662c073295)
set(third_party "${CMAKE_SOURCE_DIR}/../shared/third_party")
if(DEFINED ENV{ORVELLA_THIRD_PARTY})
  set(third_party "$ENV{ORVELLA_THIRD_PARTY}")
endif()
set(ORVELLA_CLAP_ARCHIVE "${third_party}/clap-1.2.10.tar.gz"
    CACHE FILEPATH "The CLAP 1.2.10 release archive (clap-1.2.10.tar.gz)")

set(ORVELLA_HAVE_CLAP OFF)
if(NOT EXISTS "${ORVELLA_CLAP_ARCHIVE}")
  message(STATUS "CLAP plugin skipped: ${ORVELLA_CLAP_ARCHIVE} is missing "
                 "(give the clap-1.2.10.tar.gz release with -DORVELLA_CLAP_ARCHIVE=PATH)")
  return()
endif()
file(SHA256 "${ORVELLA_CLAP_ARCHIVE}" clap_sum)
if(NOT clap_sum STREQUAL ORVELLA_CLAP_SHA256)
  message(FATAL_ERROR "${ORVELLA_CLAP_ARCHIVE} does not have the expected SHA-256 checksum "
                      "${ORVELLA_CLAP_SHA256}; it is not the CLAP 1.2.10 release this build expects.")
endif()
set(clap_root "${CMAKE_BINARY_DIR}/third_party/clap-${ORVELLA_CLAP_SHA256}")
if(NOT EXISTS "${clap_root}/clap-1.2.10/include/clap/clap.h")
  file(ARCHIVE_EXTRACT INPUT "${ORVELLA_CLAP_ARCHIVE}" DESTINATION "${clap_root}" PATTERNS clap-1.2.10/include clap-1.2.10/LICENSE)
endif()
add_library(clap_headers INTERFACE)
target_include_directories(clap_headers SYSTEM INTERFACE "${clap_root}/clap-1.2.10/include")
set(ORVELLA_HAVE_CLAP ON)
