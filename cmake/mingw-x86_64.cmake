# 64-bit Windows build of the same sources. Used to run the tests under Wine where the machine cannot
# execute 32-bit code; the shipped product is the i686 build.
set(QEL_MINGW_ARCH x86_64)
set(QEL_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
