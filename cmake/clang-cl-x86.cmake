set(QUORVEL_MSVC_TARGET i686-pc-windows-msvc)
set(QUORVEL_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl/toolchain.cmake)
