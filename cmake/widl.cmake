# The widl rules of the Windows targets: a type library and its C header from one IDL file.
#
#   tolvane_widl(NAME idl-file OUT_DIR folder [TLB_COMMANDS command...])
#
# makes OUT_DIR/NAME.h and OUT_DIR/NAME.tlb, and the target NAME_idl that builds both. Commands
# after TLB_COMMANDS run on the library once widl has written it (each a list given as one string
# with ; between its words, as add_custom_command takes it).

if(NOT TOLVANE_WIDL)
  set(TOLVANE_WIDL widl)
endif()
find_program(WIDL_EXECUTABLE NAMES ${TOLVANE_WIDL} REQUIRED)

# widl needs the platform's IDL files (oaidl.idl) and Wine's stdole2.tlb for importlib.
find_path(TOLVANE_IDL_DIR oaidl.idl
  PATHS /usr/include/wine/wine/windows /usr/include/wine/windows
  NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(TOLVANE_STDOLE_DIR stdole2.tlb
  PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows
        /usr/lib/wine/x86_64-windows /usr/lib/wine/i386-windows
  NO_CMAKE_FIND_ROOT_PATH REQUIRED)

function(tolvane_widl name idl)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "OUT_DIR" "TLB_COMMANDS;DEPENDS")
  set(flags -I${TOLVANE_IDL_DIR} -L${TOLVANE_STDOLE_DIR})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND flags --win64)
  else()
    list(APPEND flags --win32)
  endif()
  set(after "")
  foreach(command IN LISTS arg_TLB_COMMANDS)
    string(REPLACE " " ";" command "${command}")
    list(APPEND after COMMAND ${command})
  endforeach()
  add_custom_command(
    OUTPUT ${arg_OUT_DIR}/${name}.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${arg_OUT_DIR}
    COMMAND ${WIDL_EXECUTABLE} ${flags} -h -o ${arg_OUT_DIR}/${name}.h ${idl}
    DEPENDS ${idl}
    COMMENT "widl: ${name}.h"
    VERBATIM)
  add_custom_command(
    OUTPUT ${arg_OUT_DIR}/${name}.tlb
    COMMAND ${CMAKE_COMMAND} -E make_directory ${arg_OUT_DIR}
    COMMAND ${WIDL_EXECUTABLE} ${flags} -t -o ${arg_OUT_DIR}/${name}.tlb ${idl}
    ${after}
    DEPENDS ${idl} ${arg_DEPENDS}
    COMMENT "widl: ${name}.tlb"
    VERBATIM)
  string(TOLOWER ${name} lower)
  add_custom_target(${lower}_idl DEPENDS ${arg_OUT_DIR}/${name}.h ${arg_OUT_DIR}/${name}.tlb)
endfunction()
