# Runs the picture generator (a Windows program, through the emulator) into OUT and compares what
# it writes with the committed pictures in EXPECTED.
execute_process(COMMAND ${EMULATOR} ${GENERATOR} ${OUT_WINDOWS} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_pictures failed: ${rc}")
endif()
foreach(picture design.bmp toolbox.bmp)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${picture} ${EXPECTED}/${picture}
                  RESULT_VARIABLE different)
  if(NOT different EQUAL 0)
    message(FATAL_ERROR "${picture} differs from what make_pictures writes")
  endif()
endforeach()
