# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads:
# the win32 flavour has no std::thread or std::mutex).
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_PREFIX_PATH=<prefix> ...
# scripts/build-windows.sh uses it for the toolkit, PortAudio and the programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVELLA_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ORVELLA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVELLA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVELLA_MINGW}-windres)

# Libraries and headers come from the cross prefix and the prefix given in
# CMAKE_PREFIX_PATH; programs (wine, makensis) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVELLA_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# With -std=c++17 only _WIN32 is defined; the toolkit's headers test WIN32.
# The C library's printf family as C99 has it (%zu, %lld), and localtime_r.
set(ORVELLA_MINGW_DEFINES "-DWIN32 -D__USE_MINGW_ANSI_STDIO=1 -D_POSIX_THREAD_SAFE_FUNCTIONS=200112L")
set(CMAKE_C_FLAGS_INIT "${ORVELLA_MINGW_DEFINES}")
set(CMAKE_CXX_FLAGS_INIT "${ORVELLA_MINGW_DEFINES}")
# No DLLs to ship: the C and C++ run-times and winpthreads go into each program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
