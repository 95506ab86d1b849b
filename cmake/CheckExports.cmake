# cmake -DLIBRARY=<shared object> -DHEADER=<midasdll.h> [-DNM=nm] -P CheckExports.cmake
#
# The shared library exports exactly the calls the public header declares:
# fails on any other defined dynamic symbol, and on a declared call that is
# not exported (a definition without Q5SOUND_API).
if(NOT NM)
  set(NM nm)
endif()
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE _nm RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" _lines "${_nm}")
set(_exported)
foreach(_line ${_lines})
  # "<address> <type> <name>"; undefined and absolute entries aside.
  if(_line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^ ]+)$")
    list(APPEND _exported ${CMAKE_MATCH_1})
  endif()
endforeach()

file(READ ${HEADER} _text)
# Comments out, then every "MIDASname(" is a declared call (typedefs of
# function pointers read "(*MIDASname)(" and do not match).
string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" _code "${_text}")
string(REGEX REPLACE "//[^\n]*" "" _code "${_code}")
string(REGEX MATCHALL "MIDAS[A-Za-z0-9_]*[ \t]*\\(" _calls "${_code}")
set(_declared)
foreach(_call ${_calls})
  string(REGEX REPLACE "[ \t]*\\($" "" _name "${_call}")
  list(APPEND _declared ${_name})
endforeach()
list(REMOVE_DUPLICATES _declared)
list(LENGTH _declared _count)
if(_count LESS 1)
  message(FATAL_ERROR "no calls found in ${HEADER}")
endif()

set(_faults "")
foreach(_name ${_exported})
  list(FIND _declared ${_name} _i)
  if(_i EQUAL -1)
    string(APPEND _faults "  exported but not in the public header: ${_name}\n")
  endif()
endforeach()
foreach(_name ${_declared})
  list(FIND _exported ${_name} _i)
  if(_i EQUAL -1)
    string(APPEND _faults "  declared but not exported: ${_name}\n")
  endif()
endforeach()
if(_faults)
  message(FATAL_ERROR "Exports of ${LIBRARY}:\n${_faults}")
endif()
message(STATUS "${_count} calls declared, all exported, nothing else")
