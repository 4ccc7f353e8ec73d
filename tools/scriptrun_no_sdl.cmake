# Fails when the script runner calls into SDL. A program that only runs scripts has no use for the
# display library, and loading it with the libraries it pulls in costs about 5 MB resident at
# start, which the script benchmarks' peak memory counts; a call from the script library into a
# system file that reaches the window brought it in once unnoticed.
execute_process(COMMAND nm -D --undefined-only ${TOOL} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm could not read ${TOOL}: ${rc}")
endif()
string(REGEX MATCHALL "SDL_[A-Za-z0-9_]+" calls "${symbols}")
if(calls)
    list(REMOVE_DUPLICATES calls)
    message(FATAL_ERROR "the script runner calls SDL: ${calls}")
endif()
