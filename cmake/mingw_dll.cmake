# quorvel_mingw_dll(<target>): how the MinGW build links each DLL of the
# project (Quorvel.dll and the npm package's relay).
#
# Optimised for size (-Os); -fno-ident drops the compiler's version string
# every object would otherwise add to .rdata. No C runtime: the entry point
# is DllMain itself, so loading runs no start-up code, sets up no TLS and
# imports no msvcrt. On x86 nothing would register DWARF unwind tables
# without the runtime, and Windows walks x86 stacks without them; x64 keeps
# its .pdata/.xdata, which the system's own unwinder reads. The sections
# are laid out by cmake/mingw-dll.ld, and GNU ld's writable imports and
# resources are made read-only after the link. Stripped, since nobody
# debugs it here, and with no link time in the headers: two builds of one
# commit are the same bytes.
function(quorvel_mingw_dll target)
  target_compile_options(${target} PRIVATE -fno-ident -Os)
  if(QUORVEL_ARCH STREQUAL "x86")
    set(entry _DllMain@12)
    target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables)
  else()
    set(entry DllMain)
  endif()
  set(script ${PROJECT_SOURCE_DIR}/cmake/mingw-dll.ld)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
  target_link_options(${target} PRIVATE -nostdlib -nostartfiles -Wl,--entry,${entry} -s
                      -Wl,--no-insert-timestamp -Wl,-T,${script})
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${PROJECT_SOURCE_DIR}/scripts/read_only_imports.py $<TARGET_FILE:${target}>)
endfunction()
