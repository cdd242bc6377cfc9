set(MORVANE_TRIPLET i686-w64-mingw32)
set(MORVANE_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
