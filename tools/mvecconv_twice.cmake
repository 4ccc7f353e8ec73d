# Runs mvecconv twice on one font and fails unless both outputs are the same bytes. The outputs go
# to a folder of this run's own under WORK, removed at the end: another run of the same tests (a
# second ctest in the same build folder) writes apart.
execute_process(COMMAND mktemp -d ${WORK}/mvecconv_twice_XXXXXX OUTPUT_VARIABLE folder
                RESULT_VARIABLE made OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT made EQUAL 0)
    message(FATAL_ERROR "no folder could be made in ${WORK}: ${made}")
endif()
foreach(run a b)
    execute_process(COMMAND ${TOOL} ${FONT} ${folder}/twice_${run}.mvec RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        file(REMOVE_RECURSE ${folder})
        message(FATAL_ERROR "mvecconv failed: ${rc}")
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${folder}/twice_a.mvec
                        ${folder}/twice_b.mvec RESULT_VARIABLE same)
file(REMOVE_RECURSE ${folder})
if(NOT same EQUAL 0)
    message(FATAL_ERROR "two runs of mvecconv wrote different bytes")
endif()
