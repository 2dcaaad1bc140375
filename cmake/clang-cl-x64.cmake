set(QUORVEL_MSVC_TARGET x86_64-pc-windows-msvc)
set(QUORVEL_MINGW x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/clang-cl/toolchain.cmake)
