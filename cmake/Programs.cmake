# Every program the build makes answers --help and --version on standard
# output with exit status 0 (src/base/program_info.h); the test below runs
# each. A new program goes into this list.
set(ORVELLA_ALL_PROGRAMS orvella orvella-cli orvella-cli-man-page orvella-pedal orvella-image orvella-draw-guide dspgen dspasm)
file(GLOB picture_programs ${CMAKE_SOURCE_DIR}/tools/pictures/draw_*.cpp)
foreach(src ${picture_programs})
  get_filename_component(name ${src} NAME_WE)
  string(REPLACE "_" "-" exe "orvella-${name}")
  list(APPEND ORVELLA_ALL_PROGRAMS ${exe})
endforeach()

set(program_files)
foreach(program ${ORVELLA_ALL_PROGRAMS})
  if(NOT program STREQUAL "orvella" AND NOT program STREQUAL "orvella-cli")   # their libraries define it
    target_compile_definitions(${program} PRIVATE ORVELLA_VERSION="${PROJECT_VERSION}")
    target_include_directories(${program} PRIVATE ${ORVELLA_SRC})
  endif()
  target_link_libraries(${program} PRIVATE orvella_base_files)   # platform::keepStandardStreams
  list(APPEND program_files $<TARGET_FILE:${program}>)
endforeach()

add_test(NAME programs.HelpAndVersionOnStandardOutputWithStatusZero
  COMMAND sh -c [=[
    version=$1; shift; failed=0
    for p in "$@"; do
      name=$(basename "$p")
      for opt in --help --version; do
        out=$("$p" $opt 2> err.txt); status=$?
        if [ $status -ne 0 ] || [ -z "$out" ] || [ -s err.txt ]; then
          echo "$name $opt: status $status, standard output '$out', standard error '$(cat err.txt)'"; failed=1
        fi
      done
      [ "$("$p" --version 2>&1)" = "$name $version" ] || { echo "$name --version: '$("$p" --version 2>&1)'"; failed=1; }
      # help wins wherever it stands, and is not taken for a value
      "$p" --version --help | grep -qi usage || { echo "$name --version --help: no usage"; failed=1; }
    done
    rm -f err.txt
    exit $failed]=] check ${PROJECT_VERSION} ${program_files}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
