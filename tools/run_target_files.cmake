# What `make run` builds (the targets of the Makefile's RUN_TARGETS) makes every file the build
# writes into the game's assets/ (the game reads them at start: its fonts), and the location check
# is clean on the shipped locations in a tree holding only what those targets make.
# Run with -DNINJA=<ninja> -DTREE=<build tree> -DSOURCE=<repository> -DCHECK=<locationcheck>
# -DWORK=<scratch folder> -DLOCATIONS=<location scripts, "," between them>.
cmake_minimum_required(VERSION 3.25)

file(STRINGS ${SOURCE}/Makefile run_line REGEX "^RUN_TARGETS :=")
string(REGEX REPLACE "^RUN_TARGETS :=[ ]*" "" run_targets "${run_line}")
separate_arguments(run_targets UNIX_COMMAND "${run_targets}")
if(NOT run_targets)
    message(FATAL_ERROR "the Makefile names no RUN_TARGETS")
endif()

# Every file the build writes below assets/.
execute_process(COMMAND ${NINJA} -C ${TREE} -t targets all OUTPUT_VARIABLE all_targets
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "ninja -t targets failed: ${status}")
endif()
set(assets ${SOURCE}/assets)
string(REGEX MATCHALL "${assets}/[^:\n]+:" made "${all_targets}")
list(TRANSFORM made REPLACE ":$" "")
list(REMOVE_DUPLICATES made)
if(NOT made)
    message(FATAL_ERROR "the build makes nothing in ${assets}: the check would check nothing")
endif()

# Everything the run's targets depend on, order-only dependencies (the fonts' target) among them.
execute_process(COMMAND ${NINJA} -C ${TREE} -t graph ${run_targets} OUTPUT_VARIABLE graph
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "ninja -t graph ${run_targets} failed: ${status}")
endif()
set(missing)
foreach(file ${made})
    string(FIND "${graph}" "[label=\"${file}\"]" at)
    if(at EQUAL -1)
        list(APPEND missing ${file})
    endif()
endforeach()

# The assets as a tree the run's targets alone built holds them: the committed files and what the
# build made for those targets, nothing the build makes for the others.
file(REMOVE_RECURSE ${WORK})
file(GLOB_RECURSE present LIST_DIRECTORIES false RELATIVE ${assets} ${assets}/*)
foreach(relative ${present})
    if(NOT "${assets}/${relative}" IN_LIST missing)
        get_filename_component(folder ${WORK}/assets/${relative} DIRECTORY)
        file(MAKE_DIRECTORY ${folder})
        file(CREATE_LINK ${assets}/${relative} ${WORK}/assets/${relative} SYMBOLIC)
    endif()
endforeach()
set(faults)
string(REPLACE "," ";" locations "${LOCATIONS}")
foreach(location ${locations})
    execute_process(COMMAND ${CHECK} ${location} WORKING_DIRECTORY ${WORK}
                    OUTPUT_VARIABLE said ERROR_VARIABLE said RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT said STREQUAL "${location}: no faults\n")
        string(APPEND faults "locationcheck ${location} ended with ${status}:\n${said}")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK})

if(missing)
    list(JOIN missing "\n  " missing)
    message(SEND_ERROR "`make run` (${run_targets}) does not make:\n  ${missing}")
endif()
if(faults)
    message(SEND_ERROR "in a tree `make run` built:\n${faults}")
endif()
