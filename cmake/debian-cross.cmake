# Cross build for another Debian architecture on a Debian system with that
# architecture added (dpkg --add-architecture), its libraries installed beside
# the host's (multiarch: qt6-base-dev:arm64 and so on) and its cross compiler:
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/debian-cross.cmake -DLUMIDRA_DEBIAN_ARCH=arm64 ...
#
# LUMIDRA_DEBIAN_ARCH is Debian's name of the target architecture (arm64,
# armhf); the GNU triplet, the compilers and the libraries' folder follow from
# it. Qt's tools (moc, uic, rcc, lrelease) are the host's, found through
# QT_HOST_PATH; the target's Qt, libudev and the rest are found in
# /usr/lib/<triplet>. Programs built run through qemu-user
# (CMAKE_CROSSCOMPILING_EMULATOR), so that ctest and test discovery work.
set(CMAKE_SYSTEM_NAME Linux)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMIDRA_DEBIAN_ARCH)
if(NOT LUMIDRA_DEBIAN_ARCH)
  set(LUMIDRA_DEBIAN_ARCH $ENV{LUMIDRA_DEBIAN_ARCH})
endif()
if(LUMIDRA_DEBIAN_ARCH STREQUAL "arm64")
  set(CMAKE_SYSTEM_PROCESSOR aarch64)
  set(triplet aarch64-linux-gnu)
  set(qemu qemu-aarch64)
elseif(LUMIDRA_DEBIAN_ARCH STREQUAL "armhf")
  set(CMAKE_SYSTEM_PROCESSOR armv7l)
  set(triplet arm-linux-gnueabihf)
  set(qemu qemu-arm)
else()
  message(FATAL_ERROR "Set LUMIDRA_DEBIAN_ARCH to arm64 or armhf (Debian's architecture name)")
endif()
# Kept in the cache: try_compile projects read the toolchain file again.
set(LUMIDRA_DEBIAN_ARCH ${LUMIDRA_DEBIAN_ARCH} CACHE STRING "Debian architecture of the cross build")

set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})

# Multiarch keeps the target's files in the same /usr as the host's, in
# folders of their own; the host's libraries must never be linked.
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_IGNORE_PREFIX_PATH /usr/lib/x86_64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${triplet}/pkgconfig:/usr/share/pkgconfig)

# Qt's build tools run on the host: the host's Qt (the same version, from the
# same distribution) provides them.
set(QT_HOST_PATH /usr)
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
                OUTPUT_VARIABLE build_triplet OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${build_triplet}/cmake)

find_program(LUMIDRA_QEMU ${qemu} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMIDRA_QEMU})
