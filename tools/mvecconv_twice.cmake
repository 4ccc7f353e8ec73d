# Runs mvecconv twice on one font and fails unless both outputs are the same bytes.
foreach(run a b)
    execute_process(COMMAND ${TOOL} ${FONT} ${WORK}/twice_${run}.mvec RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "mvecconv failed: ${rc}")
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/twice_a.mvec ${WORK}/twice_b.mvec
                RESULT_VARIABLE same)
if(NOT same EQUAL 0)
    message(FATAL_ERROR "two runs of mvecconv wrote different bytes")
endif()
