# Robustness builds, each in a build folder of its own:
#   ORVELLA_SANITIZE  the whole project and its suite under AddressSanitizer and
#                     UndefinedBehaviorSanitizer; every report ends the program.
#   ORVELLA_FUZZ      the libFuzzer targets of tests/fuzz (clang only), with the
#                     project's libraries instrumented for coverage and both
#                     sanitizers. Build them with the fuzz_all target.
# scripts/ci-robustness.sh configures, builds and runs both (docs/robustness.md).
option(ORVELLA_SANITIZE "Build with address and undefined-behaviour sanitizers, errors fatal" OFF)
option(ORVELLA_FUZZ "Build the libFuzzer targets in tests/fuzz (needs clang)" OFF)

set(ORVELLA_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

if(ORVELLA_SANITIZE)
  add_compile_options(${ORVELLA_SANITIZER_FLAGS})
  # GCC's flow analysis over the instrumented code takes the moves inside
  # libstdc++'s std::regex for reads of uninitialised std::function members;
  # the warning stays on in every other build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  add_link_options(-fsanitize=address,undefined)
endif()

if(ORVELLA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ORVELLA_FUZZ needs clang (configure with CC=clang CXX=clang++)")
  endif()
  add_compile_options(${ORVELLA_SANITIZER_FLAGS} -fsanitize=fuzzer-no-link)
  add_link_options(-fsanitize=address,undefined)
endif()
