# Reads a built Quorvel.dll back and checks what a Windows host relies on.
# -DDLL=<path> -DCHECK=exports|imports|entry|sections|size|guards|version, plus -DOBJDUMP
# or -DWINDRES, and -DMAX_BYTES for size.

function(run_tool out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}): ${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(expect_match text regex what)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "${what}: no match for '${regex}' in:\n${text}")
  endif()
endfunction()

if(CHECK STREQUAL "exports")
  # Hosts rely on the ordinals, base plus index: MinGW's ld starts the
  # table at ordinal 1, lld-link at 0 with slot 0 left empty.
  run_tool(dump ${OBJDUMP} -p ${DLL})
  string(REGEX MATCH "Ordinal Base[ \t]+([0-9]+)\n" _ "${dump}")
  set(base "${CMAKE_MATCH_1}")
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(\t\\[[^\n]*\n)*" names "${dump}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_@0-9]+" entries "${names}")
  set(exports "")
  foreach(entry IN LISTS entries)
    string(REGEX MATCH "([0-9]+)\\] (.*)" _ "${entry}")
    math(EXPR ordinal "${CMAKE_MATCH_1} + ${base}")
    list(APPEND exports "${CMAKE_MATCH_2}@${ordinal}")
  endforeach()
  set(expected "InitEndPoint@1;MuteGet@2;MuteSet@3;UninitEndPoint@4;VolumeGet@5;VolumeSet@6")
  if(NOT exports STREQUAL expected)
    message(FATAL_ERROR "export names@ordinals are\n  ${exports}\nexpected\n  ${expected}")
  endif()
  string(REGEX MATCH "\\[Name Pointer/Ordinal\\] Table[ \t]+([0-9]+)" _ "${dump}")
  if(NOT CMAKE_MATCH_1 EQUAL 6)
    message(FATAL_ERROR "expected exactly 6 named exports, found '${CMAKE_MATCH_1}'")
  endif()
  # The functions the address table holds, by ordinal: the six alone.
  string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\]" slots "${dump}")
  list(TRANSFORM slots REPLACE "[^0-9]" "")
  if(NOT slots STREQUAL "1;2;3;4;5;6")
    message(FATAL_ERROR "export address slots hold ordinals '${slots}', expected 1 to 6")
  endif()
elseif(CHECK STREQUAL "imports")
  # Exactly the functions the library calls: no C runtime, nothing else.
  run_tool(dump ${OBJDUMP} -p ${DLL})
  string(REGEX MATCHALL "DLL Name: [^\n]+(\n\t[^\n]+)*" blocks "${dump}")
  set(imports "")
  foreach(block IN LISTS blocks)
    string(REGEX MATCH "DLL Name: ([^\n]+)" _ "${block}")
    string(TOUPPER "${CMAKE_MATCH_1}" dll)
    string(REGEX MATCHALL "\n\t[0-9a-fA-F]+\t +[0-9]+ +[A-Za-z0-9_]+" functions "${block}")
    list(TRANSFORM functions REPLACE ".* " "")
    list(SORT functions)
    list(JOIN functions "," functions)
    list(APPEND imports "${dll}:${functions}")
  endforeach()
  list(SORT imports)
  # QueueUserWorkItem runs a move to a new default device on the system
  # thread pool, in the multithreaded apartment that CoIncrementMTAUsage
  # (looked up with GetProcAddress: Windows 8 on) keeps, or else one that
  # CoInitializeEx sets up; the thread-pool timer asks for the periodic
  # look; GetTickCount spaces the looks failures ask for; Sleep is how
  # letting go waits for the controls and the move still running, and
  # ntdll's RtlDllShutdownInProgress tells it when the process exits;
  # CoTaskMemFree frees endpoint ids.
  set(expected "KERNEL32.DLL:CloseThreadpoolTimer,CreateThreadpoolTimer,GetCurrentThreadId,GetModuleHandleExW,GetProcAddress,GetTickCount,QueueUserWorkItem,SetThreadpoolTimer,Sleep"
               "NTDLL.DLL:RtlDllShutdownInProgress"
               "OLE32.DLL:CoCreateGuid,CoCreateInstance,CoInitialize,CoInitializeEx,CoTaskMemFree,CoUninitialize")
  if(NOT imports STREQUAL expected)
    message(FATAL_ERROR "imports are\n  ${imports}\nexpected\n  ${expected}")
  endif()
  string(REGEX MATCH "DllCharacteristics[ \t]+([0-9a-fA-F]+)" _ "${dump}")
  math(EXPR flags "0x${CMAKE_MATCH_1}")
  math(EXPR wanted "${flags} & 0x140")
  if(NOT wanted EQUAL 320)
    message(FATAL_ERROR "DllCharacteristics 0x${CMAKE_MATCH_1} lacks DYNAMIC_BASE|NX_COMPAT")
  endif()
  # No TLS directory (so no callbacks on every thread start and exit), and
  # relocations, without which DYNAMIC_BASE could not move the image.
  expect_match("${dump}" "Entry 9 0+ 0+ Thread Storage Directory" "no TLS directory")
  expect_match("${dump}" "Entry 5 0*[1-9a-fA-F][0-9a-fA-F]* 0*[1-9a-fA-F][0-9a-fA-F]* Base Relocation"
               "base relocations")
elseif(CHECK STREQUAL "entry")
  # The entry point is DllMain itself: it returns TRUE and does nothing else.
  run_tool(dump ${OBJDUMP} -p ${DLL})
  string(REGEX MATCH "AddressOfEntryPoint[ \t]+([0-9a-fA-F]+)" _ "${dump}")
  set(entry "${CMAKE_MATCH_1}")
  string(REGEX MATCH "ImageBase[ \t]+([0-9a-fA-F]+)" _ "${dump}")
  math(EXPR start "0x${CMAKE_MATCH_1} + 0x${entry}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR stop "${start} + 8" OUTPUT_FORMAT HEXADECIMAL)
  run_tool(code ${OBJDUMP} -d --start-address=${start} --stop-address=${stop} ${DLL})
  string(REGEX MATCHALL "\n *[0-9a-f]+:\t[0-9a-f ]+\t[^\n]+" lines "${code}")
  list(TRANSFORM lines REPLACE ".*\t" "")
  list(SUBLIST lines 0 3 first)
  # PE32 (x86): the loader calls the entry point with stdcall, so it must
  # pop its three arguments; a plain ret would unbalance the loader's stack.
  if(dump MATCHES "Magic[ \t]+010b")
    set(return "ret +[$]0xc")
  else()
    set(return "ret")
  endif()
  # TRUE as GCC loads it, or as clang does when optimising for size.
  if(NOT first MATCHES "^(mov +[$]0x1,%eax|xor +%eax,%eax;inc +%eax);${return} *(;|$)")
    message(FATAL_ERROR "the entry point does not just return TRUE (${return}):\n${code}")
  endif()
elseif(CHECK STREQUAL "size")
  file(SIZE ${DLL} bytes)
  if(bytes GREATER MAX_BYTES)
    message(FATAL_ERROR "${DLL} is ${bytes} bytes, over the ${MAX_BYTES} allowed")
  endif()
elseif(CHECK STREQUAL "sections")
  run_tool(dump ${OBJDUMP} -h ${DLL})
  string(REGEX MATCHALL "\n +[0-9]+ [^\n]+\n[^\n]+" sections "${dump}")
  # Only the variables (.data, .bss) are writable, and hold no constant: no GUID
  # (IID_IAudioEndpointVolume stands for vtables, strings and GUIDs), and no unwind
  # table, which objdump shows under the section holding it where the exception
  # table has a section of its own (x64; clang-cl's joins the read-only .rdata).
  set(guid 822cdf5c1e8446459722)
  file(READ ${DLL} image HEX)
  run_tool(headers ${OBJDUMP} -p ${DLL})
  if(NOT image MATCHES "${guid}" OR (dump MATCHES " \\.pdata " AND NOT headers MATCHES "\nDump of "))
    message(FATAL_ERROR "found no GUID or no unwind table to look for:\n${headers}")
  endif()
  foreach(section IN LISTS sections)
    if(section MATCHES "CODE" AND NOT section MATCHES "READONLY")
      message(FATAL_ERROR "writable and executable section:${section}")
    endif()
    string(REGEX MATCH " ([^ ]+) +([0-9a-f]+) +[0-9a-f]+ +[0-9a-f]+ +([0-9a-f]+)" _ "${section}")
    set(name ${CMAKE_MATCH_1})
    math(EXPR from "0x${CMAKE_MATCH_3} * 2")
    math(EXPR length "0x${CMAKE_MATCH_2} * 2")
    string(SUBSTRING "${image}" ${from} ${length} bytes)
    if(NOT section MATCHES "READONLY" AND (NOT name MATCHES "^\\.(data|bss)$" OR bytes MATCHES "${guid}"
                                           OR headers MATCHES "\nDump of ${name}\n"))
      message(FATAL_ERROR "constants in a writable section:${section}")
    endif()
  endforeach()
  if(dump MATCHES "\\.(tls|CRT)")
    message(FATAL_ERROR "C runtime start-up sections present:\n${dump}")
  endif()
  # Unwind tables nothing reads: DWARF ones need the C runtime to register
  # them, and x86 Windows walks stacks without .pdata/.xdata. The stripped
  # DLL keeps 8 characters of a section name (.eh_fram).
  set(unused_unwind "\\.(eh_fram|debug_f)")
  if(dump MATCHES "file format pei-i386")
    set(unused_unwind "\\.(eh_fram|debug_f|pdata|xdata)")
  endif()
  if(dump MATCHES "${unused_unwind}")
    message(FATAL_ERROR "unwind sections the DLL does not use:\n${dump}")
  endif()
  list(LENGTH sections count)
  if(count LESS 3)
    message(FATAL_ERROR "could not read the section table:\n${dump}")
  endif()
elseif(CHECK STREQUAL "guards")
  # Control Flow Guard, its load configuration, and CET_COMPAT (debug type 20, bit 0).
  run_tool(dump ${OBJDUMP} -p ${DLL})
  if(dump MATCHES "\tGUARD_CF\n.*\nEntry a 0*[1-9a-f][^\n]* Load Conf.*\n 20 +[A-Za-z]+ 00000004 [0-9a-f]+ ([0-9a-f]+)\n")
    math(EXPR offset "0x${CMAKE_MATCH_1}")
    file(READ ${DLL} cet OFFSET ${offset} LIMIT 1 HEX)
  endif()
  if(NOT cet MATCHES "[13579bdf]$")
    message(FATAL_ERROR "no Control Flow Guard, load configuration or CET_COMPAT (${cet}):\n${dump}")
  endif()
elseif(CHECK STREQUAL "version")
  run_tool(rc ${WINDRES} -J coff -O rc -i ${DLL})
  expect_match("${rc}" "LANGUAGE 4, 2\n" "resource language 0x0804")
  expect_match("${rc}" "FILEVERSION 1, 0, 0, 1\n" "file version")
  expect_match("${rc}" "PRODUCTVERSION 1, 0, 0, 1\n" "product version")
  expect_match("${rc}" "BLOCK \"080404b0\"" "string table 080404b0")
  expect_match("${rc}" "VALUE \"Translation\", 0x804, 1200\n" "translation")
  expect_match("${rc}" "VALUE \"FileVersion\", \"1.0.0.1\"" "FileVersion text")
  string(REGEX MATCHALL "BLOCK \"[0-9a-fA-F]+\"" tables "${rc}")
  list(LENGTH tables count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one string table, found: ${tables}")
  endif()
else()
  message(FATAL_ERROR "unknown CHECK '${CHECK}'")
endif()
