# Cross-build for another Debian architecture with Debian's multiarch cross
# tools: the target's libraries installed as <package>:<arch>, Qt's host
# tools (moc, rcc, qmlcachegen, lrelease) from the build machine's native
# -dev-tools packages. Included by arm64.cmake and armhf.cmake, which name
# the architecture.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${LTXG_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${LTXG_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${LTXG_CROSS_TRIPLET})
# Programs run at build time are the build machine's; libraries and headers
# the target's (Debian keeps both under /usr, told apart by the triplet).
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Qt's translation tools are host tools only: their CMake package comes from
# the build machine's qttools5-dev.
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
                OUTPUT_VARIABLE LTXG_BUILD_TRIPLET OUTPUT_STRIP_TRAILING_WHITESPACE)
set(Qt5LinguistTools_DIR /usr/lib/${LTXG_BUILD_TRIPLET}/cmake/Qt5LinguistTools)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${LTXG_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# The target's programs (tests) run under user-mode emulation; binfmt_misc
# is not needed.
set(CMAKE_CROSSCOMPILING_EMULATOR ${LTXG_CROSS_EMULATOR})
