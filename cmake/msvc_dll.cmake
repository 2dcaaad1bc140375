# Quorvel.dll with the MSVC toolchain (cl, link and rc, or clang-cl,
# lld-link and llvm-rc), included by CMakeLists.txt for its Quorvel target.
# The MinGW build's properties, as MSVC's options: optimised for size, no
# exceptions or RTTI, no C runtime.

# CMake's defaults for MSVC turn on exceptions (/EHsc) and RTTI (/GR), and
# optimise Release for speed (/O2).
string(REPLACE "/EHsc" "" CMAKE_CXX_FLAGS "${CMAKE_CXX_FLAGS}")
string(REPLACE "/GR" "" CMAKE_CXX_FLAGS "${CMAKE_CXX_FLAGS}")
string(REPLACE "/O2" "/O1" CMAKE_CXX_FLAGS_RELEASE "${CMAKE_CXX_FLAGS_RELEASE}")
# /GS-: the security cookie's check lives in the C runtime. /Zl: objects
# name no default C runtime library. /Brepro: no time stamps in the objects,
# the DLL or Quorvel.lib, so two builds of one commit are the same bytes.
target_compile_options(Quorvel PRIVATE /GR- /EHs-c- /GS- /Zl /Brepro)
# The entry point is DllMain itself, so loading runs no start-up code. A
# DLL needs no manifest. The import library link writes beside the DLL is
# the Quorvel.lib this build ships.
target_link_options(Quorvel PRIVATE /NODEFAULTLIB /ENTRY:DllMain /MANIFEST:NO /Brepro)
target_link_libraries(Quorvel PRIVATE ole32 kernel32 ntdll)
# x64 hosts may refuse DLLs that are not marked for hardware-enforced stack
# protection or built with Control Flow Guard. The guard needs the load
# configuration the C runtime would supply; the DLL carries its own, which
# clang-cl can build (cl has no inline assembly on x64).
if(QUORVEL_ARCH STREQUAL "x64")
  target_link_options(Quorvel PRIVATE /CETCOMPAT)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_sources(Quorvel PRIVATE src/platform/guard_load_config.c)
    target_compile_options(Quorvel PRIVATE /guard:cf)
    # The exception table joins the constants, read-only, in the blocks they
    # take, rather than a 512-byte block of its own: the guard's table and
    # load configuration made the DLL a block larger. Found through the
    # exception directory, as Windows finds it.
    target_link_options(Quorvel PRIVATE /guard:cf /MERGE:.pdata=.rdata)
  endif()
endif()

# Checked and run under Wine where the DLL is cross-built.
if(CMAKE_CROSSCOMPILING)
  add_subdirectory(tests/dll)
  add_subdirectory(tests/e2e)
  find_program(QUORVEL_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
  find_program(QUORVEL_CLANG NAMES clang clang-14 REQUIRED)
  set(QUORVEL_LLD_LINK ${CMAKE_LINKER})
  set(QUORVEL_MSVC_IMPORT_LIB $<TARGET_LINKER_FILE:Quorvel>)
  add_subdirectory(tests/msvc)
  add_test(NAME release_reproducible
           COMMAND ${PROJECT_SOURCE_DIR}/tests/release/double_build.sh ${PROJECT_SOURCE_DIR}
                   ${CMAKE_TOOLCHAIN_FILE} ${CMAKE_BINARY_DIR} Quorvel "Quorvel.dll Quorvel.lib")
endif()
