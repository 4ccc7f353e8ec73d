# The fonts made at build time by tools/mvecconv from the packaged DejaVu fonts: the built-in
# default font carried in the render library, and the sample game's "fonts/default.mvec" and
# "fonts/title.mvec" (git-ignored outputs). Included from the top level, beside the render
# library that embeds the default font, so the generated files have their rules where they are used.
set(MURKWELL_FONT_DIR /usr/share/fonts/truetype/dejavu CACHE PATH
    "Where the packaged DejaVu TrueType fonts are")
set(default_font ${CMAKE_BINARY_DIR}/generated/fonts/default.mvec)
set(asset_fonts ${CMAKE_SOURCE_DIR}/assets/fonts)

add_custom_command(
    OUTPUT ${default_font}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/fonts
    COMMAND mvecconv ${MURKWELL_FONT_DIR}/DejaVuSans.ttf ${default_font}
    DEPENDS mvecconv ${MURKWELL_FONT_DIR}/DejaVuSans.ttf
    COMMENT "Converting the default font"
    VERBATIM)
add_custom_command(
    OUTPUT ${asset_fonts}/default.mvec
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${default_font} ${asset_fonts}/default.mvec
    DEPENDS ${default_font}
    VERBATIM)
add_custom_command(
    OUTPUT ${asset_fonts}/title.mvec
    COMMAND mvecconv --ranges 20-7E,A0-FF ${MURKWELL_FONT_DIR}/DejaVuSerif-Bold.ttf
            ${asset_fonts}/title.mvec
    DEPENDS mvecconv ${MURKWELL_FONT_DIR}/DejaVuSerif-Bold.ttf
    COMMENT "Converting the title font"
    VERBATIM)
add_custom_target(murkwell_fonts ALL
    DEPENDS ${asset_fonts}/default.mvec ${asset_fonts}/title.mvec)

murkwell_embed_file(mw_render ${default_font} kBuiltinVectorFont
    NOTE "Converted from a DejaVu font, under the licence in assets/fonts/LICENSE-DejaVu.txt")
