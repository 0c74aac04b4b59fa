# cmake -DNM=nm -DLIBRARY=lib.so -DEXPECTED="a;b" -P CheckExports.cmake
# Fails unless the shared library's dynamic symbol table defines exactly the
# symbols EXPECTED, whatever their kind (functions, data, weak or unique
# symbols of inlined C++ templates all count).
foreach(var NM LIBRARY EXPECTED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckExports.cmake needs -D${var}=...")
  endif()
endforeach()
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} -D --defined-only ${LIBRARY} failed: ${errors}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(got "")
foreach(line IN LISTS lines)
  # "ADDRESS TYPE NAME"; a version node would be "ADDRESS A NAME" and counts too.
  if(line MATCHES "^[0-9a-fA-F]+ +[A-Za-z] +(.+)$")
    list(APPEND got "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT got)
set(want ${EXPECTED})
list(SORT want)
if(NOT got STREQUAL want)
  set(extra ${got})
  list(REMOVE_ITEM extra ${want})
  set(missing ${want})
  if(got)
    list(REMOVE_ITEM missing ${got})
  endif()
  message(FATAL_ERROR "${LIBRARY} exports the wrong symbols\n"
    "  not documented: ${extra}\n  missing: ${missing}\n  full listing:\n${listing}")
endif()
list(LENGTH got n)
message(STATUS "${LIBRARY}: exactly the ${n} documented symbols")
