# The MSVC toolchain as Visual Studio drives it (cl, link, rc), played by
# LLVM's clang-cl, lld-link and llvm-rc, with Wine's Windows headers
# (libwine-dev) for the SDK's. Included by clang-cl-x86.cmake and
# clang-cl-x64.cmake once they have set QUORVEL_MSVC_TARGET (the target
# triple) and QUORVEL_MINGW (the MinGW-w64 prefix whose binutils read the
# built DLL back for the tests).
set(CMAKE_SYSTEM_NAME Windows)
find_program(CMAKE_C_COMPILER NAMES clang-cl clang-cl-14 REQUIRED)
set(CMAKE_CXX_COMPILER ${CMAKE_C_COMPILER})
set(CMAKE_C_COMPILER_TARGET ${QUORVEL_MSVC_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${QUORVEL_MSVC_TARGET})
find_program(CMAKE_LINKER NAMES lld-link lld-link-14 REQUIRED)
find_program(CMAKE_AR NAMES llvm-lib llvm-lib-14 REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES llvm-rc llvm-rc-14 REQUIRED)
find_program(CMAKE_MT NAMES llvm-mt llvm-mt-14 REQUIRED)
set(QUORVEL_OBJDUMP ${QUORVEL_MINGW}-objdump)
set(QUORVEL_WINDRES ${QUORVEL_MINGW}-windres)
# No C runtime to link a test program against: the compiler checks stop at
# a static library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(wine_include /usr/include/wine/wine)
set(CMAKE_C_FLAGS_INIT "-imsvc ${wine_include}/windows -imsvc ${wine_include}/msvcrt \
/FI${CMAKE_CURRENT_LIST_DIR}/wine-headers.h")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
set(CMAKE_RC_FLAGS_INIT "-I ${wine_include}/windows")

# The SDK's import libraries, made from the functions the DLL imports: the
# only libraries linked, in place of Visual Studio's default list.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
set(import_dir ${CMAKE_BINARY_DIR}/wine-sdk-lib)
set(CMAKE_SHARED_LINKER_FLAGS_INIT "/LIBPATH:${import_dir}")
if(NOT CMAKE_IN_TRY_COMPILE)
  include(${CMAKE_CURRENT_LIST_DIR}/import_libs.cmake)
endif()
