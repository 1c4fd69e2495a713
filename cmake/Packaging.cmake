# What a Debian package of Texelary holds beyond the two programs, and the CPack settings that
# make it: `cpack -G DEB` in a build directory (the release preset's) gives
# texelary_VERSION_amd64.deb. `cmake --install` installs the same files.

set(TEXELARY_MAINTAINER "Texelary developers <maintainers@texelary.example>")
set(TEXELARY_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(TEXELARY_DOC_DIR share/doc/texelary)
set(TEXELARY_GENERATED ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${TEXELARY_GENERATED})

# Manual pages and the changelog are installed compressed, as Debian wants them.
function(texelary_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9nc ${source} > ${output}
        DEPENDS ${source}
        VERBATIM)
endfunction()

# The changelog's date in the form Debian's changelogs use.
execute_process(COMMAND date -u -R -d ${TEXELARY_RELEASE_DATE}
                OUTPUT_VARIABLE TEXELARY_RELEASE_DATE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(${TEXELARY_PACKAGING}/changelog.in ${TEXELARY_GENERATED}/changelog @ONLY)
texelary_gzip(${TEXELARY_GENERATED}/changelog ${TEXELARY_GENERATED}/changelog.gz)
set(texelary_packaging_files ${TEXELARY_GENERATED}/changelog.gz)
install(FILES ${TEXELARY_PACKAGING}/copyright ${TEXELARY_GENERATED}/changelog.gz
        DESTINATION ${TEXELARY_DOC_DIR})

# texelary-convert's manual page is made from its own --help.
find_program(TEXELARY_HELP2MAN help2man)
if(TEXELARY_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
    add_custom_command(OUTPUT ${TEXELARY_GENERATED}/texelary-convert.1
        COMMAND ${TEXELARY_HELP2MAN} --no-info --no-discard-stderr
                --name "convert game textures into 256-colour .m8, .wal and PNG files"
                --output ${TEXELARY_GENERATED}/texelary-convert.1 $<TARGET_FILE:texelary-convert>
        DEPENDS texelary-convert
        VERBATIM)
    texelary_gzip(${TEXELARY_GENERATED}/texelary-convert.1
                  ${TEXELARY_GENERATED}/texelary-convert.1.gz)
    list(APPEND texelary_packaging_files ${TEXELARY_GENERATED}/texelary-convert.1.gz)
    install(FILES ${TEXELARY_GENERATED}/texelary-convert.1.gz DESTINATION share/man/man1)
else()
    message(STATUS "help2man not found: texelary-convert's manual page is not made")
endif()
install(FILES ${TEXELARY_PACKAGING}/texelary-convert.bash
        DESTINATION share/bash-completion/completions RENAME texelary-convert)

# The thumbnailer takes no --help to make a page from; its page is written by hand.
if(TARGET texelary-thumbnailer)
    texelary_gzip(${TEXELARY_PACKAGING}/texelary-thumbnailer.1
                  ${TEXELARY_GENERATED}/texelary-thumbnailer.1.gz)
    list(APPEND texelary_packaging_files ${TEXELARY_GENERATED}/texelary-thumbnailer.1.gz)
    install(FILES ${TEXELARY_GENERATED}/texelary-thumbnailer.1.gz DESTINATION share/man/man1)
endif()

if(TEXELARY_BUILD_UI)
    texelary_gzip(${TEXELARY_PACKAGING}/texelary.1 ${TEXELARY_GENERATED}/texelary.1.gz)
    list(APPEND texelary_packaging_files ${TEXELARY_GENERATED}/texelary.1.gz)
    install(FILES ${TEXELARY_GENERATED}/texelary.1.gz DESTINATION share/man/man1)
    configure_file(${TEXELARY_PACKAGING}/org.texelary.Texelary.metainfo.xml.in
                   ${TEXELARY_GENERATED}/org.texelary.Texelary.metainfo.xml @ONLY)
    install(FILES ${TEXELARY_GENERATED}/org.texelary.Texelary.metainfo.xml
            DESTINATION share/metainfo)
endif()
add_custom_target(texelary_packaging_files ALL DEPENDS ${texelary_packaging_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME texelary)
set(CPACK_PACKAGE_VENDOR "The Texelary developers")
set(CPACK_PACKAGE_CONTACT ${TEXELARY_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter for 256-colour game textures")
# The long description as it is shown, lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Texelary converts batches of textures for game modders: Windows bitmaps,\n"
    "Heretic2 mip textures (.m8), QuakeX mip textures (.wal), PNG, TGA and PCX\n"
    "pictures go in; .m8 and .wal textures, each with its whole chain of mip levels,\n"
    "and 8-bit PNG pictures come out. Pictures are remapped onto the fixed .wal\n"
    "palette where needed, and true-colour ones brought down to 256 colours.\n"
    ".\n"
    "The desktop program keeps its work in projects; texelary-convert runs the same\n"
    "conversion from build scripts.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
