# Cross-building vellum-cli.exe for 64-bit Windows with Debian's MinGW-w64
# (g++-mingw-w64-x86-64-posix). The posix threads variant: its libstdc++ has
# std::thread, std::mutex and thread_local on every GCC the distribution ships.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELLUM_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${VELLUM_MINGW_TRIPLET}-g++-posix ${VELLUM_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${VELLUM_MINGW_TRIPLET}-gcc-posix ${VELLUM_MINGW_TRIPLET}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${VELLUM_MINGW_TRIPLET}-windres)
find_program(CMAKE_AR NAMES ${VELLUM_MINGW_TRIPLET}-gcc-ar-posix ${VELLUM_MINGW_TRIPLET}-ar)
find_program(CMAKE_RANLIB NAMES ${VELLUM_MINGW_TRIPLET}-gcc-ranlib-posix ${VELLUM_MINGW_TRIPLET}-ranlib)

# Libraries and headers come from the MinGW tree only: the host's /usr/include
# holds Linux headers that must never reach the cross compiler.
set(CMAKE_FIND_ROOT_PATH /usr/${VELLUM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file to ship: the C and C++ runtimes and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
