# Windows specifics of the cross build (toolchain: cmake/mingw-w64-x86_64.cmake).
#   fltk_all   the static toolkit 1.3.9 with its own png, jpeg and zlib and
#              the system libraries it calls, from CMAKE_PREFIX_PATH
#   GoogleTest built from Debian's source package, for the suites run under
#              Wine (ORVELLA_WINDOWS_TESTS)
option(ORVELLA_WINDOWS_TESTS "Build the toolkit-free test suites as .exe for Wine" OFF)

find_path(FLTK_INCLUDE_DIR FL/Fl.H REQUIRED NO_CMAKE_SYSTEM_PATH)
foreach(lib fltk_images fltk_png fltk_jpeg fltk_z fltk)
  find_library(FLTK_${lib}_LIBRARY ${lib} REQUIRED NO_CMAKE_SYSTEM_PATH)
  list(APPEND FLTK_STATIC_LIBRARIES ${FLTK_${lib}_LIBRARY})
endforeach()
add_library(fltk_all INTERFACE)
target_include_directories(fltk_all SYSTEM INTERFACE ${FLTK_INCLUDE_DIR})
target_link_libraries(fltk_all INTERFACE ${FLTK_STATIC_LIBRARIES}
  comctl32 comdlg32 gdi32 ole32 oleaut32 uuid shell32 winspool ws2_32)

enable_testing()
if(ORVELLA_WINDOWS_TESTS)
  set(ORVELLA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source (Debian: googletest)")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${ORVELLA_GTEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)
  add_library(GTest::gtest_main ALIAS gtest_main)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gmock ALIAS gmock)
endif()

# The project's printf-style functions are declared with the "printf" format
# archetype, which GCC reads as Microsoft's printf on this target and so
# flags %zu, though the C99 printf (__USE_MINGW_ANSI_STDIO) formats it. The
# Linux build checks every format string.
add_compile_options(-Wno-format)
# M_PI and the other constants of <cmath>, as the C library on Linux has them.
add_compile_definitions(_USE_MATH_DEFINES)
