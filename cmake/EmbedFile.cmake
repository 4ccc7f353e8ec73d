# murkwell_embed_file(<target> <input> <symbol> [NOTE <text>]): compiles the bytes of <input> into
# <target> as `extern const unsigned char <symbol>[]` and `extern const unsigned long <symbol>Size`.
# The source is generated at build time, so a file that is itself generated (a font) works too.
# NOTE puts one comment line at the top of the generated source (a licence to point at).
set(MURKWELL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(murkwell_embed_file target input symbol)
    cmake_parse_arguments(ARG "" "NOTE" "" ${ARGN})
    set(output ${CMAKE_BINARY_DIR}/generated/embedded/${symbol}.cpp)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DEMBED_INPUT=${input} -DEMBED_OUTPUT=${output}
                -DEMBED_SYMBOL=${symbol} "-DEMBED_NOTE=${ARG_NOTE}" -P ${MURKWELL_EMBED_SCRIPT}
        DEPENDS ${input} ${MURKWELL_EMBED_SCRIPT}
        COMMENT "Embedding ${input} as ${symbol}"
        VERBATIM)
    target_sources(${target} PRIVATE ${output})
endfunction()

# Script mode: writes the generated source.
if(CMAKE_SCRIPT_MODE_FILE AND DEFINED EMBED_INPUT)
    file(READ ${EMBED_INPUT} hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    # Sixteen bytes a line; "0x" before every pair, a comma after it.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
    string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
    get_filename_component(name ${EMBED_INPUT} NAME)
    set(text "// Generated at build time from ${name}: its ${size} bytes. Do not edit.\n")
    if(EMBED_NOTE)
        string(APPEND text "// ${EMBED_NOTE}\n")
    endif()
    string(APPEND text "extern const unsigned char ${EMBED_SYMBOL}[];\n"
                       "extern const unsigned long ${EMBED_SYMBOL}Size;\n"
                       "alignas(4) const unsigned char ${EMBED_SYMBOL}[] = {\n    ${bytes}0};\n"
                       "const unsigned long ${EMBED_SYMBOL}Size = ${size};\n")
    # Written beside and renamed, so an interrupted build never leaves half a source.
    file(WRITE ${EMBED_OUTPUT}.tmp "${text}")
    file(RENAME ${EMBED_OUTPUT}.tmp ${EMBED_OUTPUT})
endif()
