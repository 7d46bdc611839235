# Checks a built program (Kavrel.exe, kavrel-rates.exe) from its file alone, without running it: the PE kind
# matches the architecture, and every DLL it imports is one of Windows' own, so the
# one file runs on a bare Windows with nothing installed beside it.
#   cmake -DEXE=Kavrel.exe -DOBJDUMP=...-objdump -DPE_MAGIC=010b|020b -P check_exe_file.cmake
cmake_minimum_required(VERSION 3.25)
set(windows_own_dlls
  advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll
  oleaut32.dll shell32.dll shlwapi.dll user32.dll version.dll winhttp.dll wininet.dll ws2_32.dll)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "Magic[ \t]+([0-9a-fA-F]+)" _ "${headers}")
if(NOT CMAKE_MATCH_1 STREQUAL PE_MAGIC)
  message(FATAL_ERROR "${EXE}: optional header magic ${CMAKE_MATCH_1}, expected ${PE_MAGIC}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "${EXE}: no import table found")
endif()
foreach(line IN LISTS imports)
  string(REGEX REPLACE "DLL Name: *([^ \t\r]+).*" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST windows_own_dlls)
    message(FATAL_ERROR "${EXE} imports ${dll}, which Windows does not bring")
  endif()
endforeach()
