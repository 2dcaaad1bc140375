# Writes kernel32.lib, ole32.lib and ntdll.lib into import_dir with llvm-dlltool, each
# with the functions Quorvel.dll imports. On x86 they are stdcall: the .def
# names carry the argument bytes, which -k drops from the imported names.
set(kernel32 CloseThreadpoolTimer@4 CreateThreadpoolTimer@12 GetCurrentThreadId@0
             GetModuleHandleExW@12 GetProcAddress@8 GetTickCount@0 QueueUserWorkItem@12
             SetThreadpoolTimer@16 Sleep@4)
set(ole32 CoCreateGuid@4 CoCreateInstance@20 CoInitialize@4 CoInitializeEx@8 CoTaskMemFree@4
          CoUninitialize@0)
set(ntdll RtlDllShutdownInProgress@0)
if(QUORVEL_MSVC_TARGET MATCHES "^i686")
  set(machine i386)
else()
  set(machine i386:x86-64)
  list(TRANSFORM kernel32 REPLACE "@[0-9]+$" "")
  list(TRANSFORM ole32 REPLACE "@[0-9]+$" "")
  list(TRANSFORM ntdll REPLACE "@[0-9]+$" "")
endif()
find_program(dlltool NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
file(MAKE_DIRECTORY ${import_dir})
foreach(dll kernel32 ole32 ntdll)
  list(JOIN ${dll} "\n    " exports)
  file(WRITE ${import_dir}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n    ${exports}\n")
  execute_process(COMMAND ${dlltool} -m ${machine} -k -d ${import_dir}/${dll}.def
                          -l ${import_dir}/${dll}.lib COMMAND_ERROR_IS_FATAL ANY)
endforeach()
