# 32-bit ARM boards with a hardware FPU (Debian armhf).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(LTXG_CROSS_TRIPLET arm-linux-gnueabihf)
set(LTXG_CROSS_EMULATOR qemu-arm-static)
set(LTXG_DEB_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
