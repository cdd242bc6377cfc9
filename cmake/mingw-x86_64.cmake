set(MORVANE_TRIPLET x86_64-w64-mingw32)
set(MORVANE_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
