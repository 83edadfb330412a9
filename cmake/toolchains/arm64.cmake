# 64-bit ARM boards (Debian arm64).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(LTXG_CROSS_TRIPLET aarch64-linux-gnu)
set(LTXG_CROSS_EMULATOR qemu-aarch64-static)
set(LTXG_DEB_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
