# The Windows builds, MinGW-w64 with its runtime linked in statically. The triplet names the kind:
#   -DSSP_TRIPLET=i686-w64-mingw32    win32: the product, PE32
#   -DSSP_TRIPLET=x86_64-w64-mingw32  win64: the end-to-end rig's robot and stand-ins, which drive
#                                     the 32-bit product under Wine, and the PE32+ stubs of
#                                     sspack's tests
# CMake reads this file again for each compiler check: the triplet goes along to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SSP_TRIPLET)
if(SSP_TRIPLET STREQUAL "i686-w64-mingw32")
  set(SSP_KIND win32)
elseif(SSP_TRIPLET STREQUAL "x86_64-w64-mingw32")
  set(SSP_KIND win64)
else()
  message(FATAL_ERROR "SSP_TRIPLET must be i686-w64-mingw32 or x86_64-w64-mingw32, not '${SSP_TRIPLET}'")
endif()
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR ${SSP_TRIPLET})
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${SSP_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SSP_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SSP_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SSP_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
