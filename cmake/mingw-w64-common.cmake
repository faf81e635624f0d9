# Shared part of the Windows cross toolchains (Debian's mingw-w64 packages).
# The including file sets LUMIDRA_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers by full name: the -win32 thread model of GCC 12 has no
# std::thread or std::mutex, and the unsuffixed names may point to it.
set(CMAKE_C_COMPILER ${LUMIDRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMIDRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMIDRA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LUMIDRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static (libstdc++, libgcc, winpthread): the executables need no
# DLL beside them, neither on Windows nor under Wine. Not so with a shared Qt:
# its DLLs need the runtime DLLs anyway, which are deployed beside them, and
# one runtime in the process lets exceptions and memory cross between the
# program and Qt (-DLUMIDRA_MINGW_SHARED_RUNTIME=ON).
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMIDRA_MINGW_SHARED_RUNTIME)
if(NOT LUMIDRA_MINGW_SHARED_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endif()

# ctest and test discovery run the .exe files through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/windows/wine-run.sh)
