# Sets one type flag on one type of a compiled type library (MSFT format) in place:
#   cmake -DTLB=file.tlb -DTYPE_GUID=XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX -DFLAG=0x80 -P set_type_flag.cmake
# widl refuses some flags on a dispinterface (nonextensible), so the build adds them afterwards.
# Only the low byte of the type's flags can be set this way, which covers every flag we need.

file(READ "${TLB}" hex HEX)

function(read_u32 offset out)
  math(EXPR pos "${offset} * 2")
  string(SUBSTRING "${hex}" ${pos} 8 word)
  string(SUBSTRING "${word}" 0 2 b0)
  string(SUBSTRING "${word}" 2 2 b1)
  string(SUBSTRING "${word}" 4 2 b2)
  string(SUBSTRING "${word}" 6 2 b3)
  math(EXPR value "0x${b3}${b2}${b1}${b0}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

read_u32(0 magic)
if(NOT magic EQUAL 0x5446534D)
  message(FATAL_ERROR "${TLB} is not an MSFT type library")
endif()

# The GUID as it is stored: Data1, Data2 and Data3 little-endian, Data4 as it is written.
string(TOLOWER "${TYPE_GUID}" guid)
string(REPLACE "-" "" guid "${guid}")
string(SUBSTRING "${guid}" 0 8 d1)
string(SUBSTRING "${guid}" 8 4 d2)
string(SUBSTRING "${guid}" 12 4 d3)
string(SUBSTRING "${guid}" 16 16 d4)
string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" d1 "${d1}")
string(REGEX REPLACE "(..)(..)" "\\2\\1" d2 "${d2}")
string(REGEX REPLACE "(..)(..)" "\\2\\1" d3 "${d3}")
set(stored "${d1}${d2}${d3}${d4}")

read_u32(20 varflags)          # the help DLL flag adds one word to the header
read_u32(32 typeCount)
math(EXPR offsets "84 + ((${varflags} & 0x100) / 0x100) * 4")
math(EXPR segments "${offsets} + ${typeCount} * 4")
read_u32(${segments} typeTable)
math(EXPR guidSegment "${segments} + 5 * 16")
read_u32(${guidSegment} guidTable)

set(found "")
math(EXPR last "${typeCount} - 1")
foreach(i RANGE ${last})
  math(EXPR at "${offsets} + ${i} * 4")
  read_u32(${at} entry)
  math(EXPR entry "${typeTable} + ${entry}")
  math(EXPR posguidAt "${entry} + 0x2C")
  read_u32(${posguidAt} posguid)
  if(posguid GREATER_EQUAL 0)
    math(EXPR g "(${guidTable} + ${posguid}) * 2")
    string(SUBSTRING "${hex}" ${g} 32 candidate)
    if(candidate STREQUAL stored)
      math(EXPR found "${entry} + 0x30")
    endif()
  endif()
endforeach()
if(found STREQUAL "")
  message(FATAL_ERROR "${TLB} has no type ${TYPE_GUID}")
endif()

read_u32(${found} flags)
math(EXPR flags "(${flags} | ${FLAG}) & 0xFF")
# As three octal digits: printf in sh understands octal escapes only.
math(EXPR o1 "${flags} / 64")
math(EXPR o2 "(${flags} / 8) % 8")
math(EXPR o3 "${flags} % 8")
# CMake cannot write binary data itself; dd writes the one byte in place.
execute_process(COMMAND sh -c "printf '\\${o1}${o2}${o3}' | dd of='${TLB}' bs=1 seek=${found} conv=notrunc status=none"
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot write ${TLB}")
endif()
