# Shared by the two MinGW-w64 toolchain files; MORVANE_TRIPLET is set by the caller.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${MORVANE_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MORVANE_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${MORVANE_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MORVANE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# CTest prepends the emulator to every test command: Wine's loader for the architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec ${MORVANE_ARCH})
