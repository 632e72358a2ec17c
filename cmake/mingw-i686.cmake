# The product: 32-bit Windows.
set(QEL_MINGW_ARCH i686)
set(QEL_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
