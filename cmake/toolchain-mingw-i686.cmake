# Cross toolchain: Debian's mingw-w64 for 32-bit Windows (the shipping build).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VANTREL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Large-address aware: a 32-bit program may use up to 4 GiB on 64-bit Windows instead of 2 GiB
# (archives of huge trees in 7-zip32.dll live in the program's address space).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--large-address-aware")
