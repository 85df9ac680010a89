# Cross-build for the board: 32-bit ARM Linux with Debian's arm-linux-gnueabihf
# toolchain and the armhf -dev packages installed through multiarch
# (tools/setup-cross installs both). Tests run under user-mode qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

# Libraries and their CMake packages come from the armhf multiarch folders.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# The armhf C library comes from multiarch (libc6:armhf, pulled in by the -dev
# packages), so qemu finds the loader at its usual path. Pointing qemu at the
# cross toolchain's own copy (-L /usr/arm-linux-gnueabihf) crashes every
# program that starts a thread.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)

# Everything on the board is built by this one compiler: GCC's notes that the
# passing of some arguments changed in GCC 7.1 say nothing here.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
