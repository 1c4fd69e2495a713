# Windows: `cmake --build . --target installer` makes texelary-VERSION-win64-setup.exe with NSIS
# (package nsis) from the files the zip holds: both programs are built, installed into
# installer-files/ without their debugging information, and packed by
# packaging/windows/texelary.nsi. Without makensis there is no such target.
find_program(TEXELARY_MAKENSIS makensis)
if(TEXELARY_MAKENSIS)
    set(files ${CMAKE_BINARY_DIR}/installer-files)
    set(setup ${CMAKE_BINARY_DIR}/texelary-${PROJECT_VERSION}-win64-setup.exe)
    add_custom_target(installer
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${files}
        COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${files} --strip
        # -WX: a warning (a file or a page missing, say) fails the build.
        COMMAND ${TEXELARY_MAKENSIS} -V2 -WX -DVERSION=${PROJECT_VERSION} -DFILES=${files}
                -DICON=${PROJECT_SOURCE_DIR}/resources/texelary.ico -DOUTFILE=${setup}
                ${PROJECT_SOURCE_DIR}/packaging/windows/texelary.nsi
        BYPRODUCTS ${setup}
        COMMENT "Making ${setup}"
        VERBATIM)
    add_dependencies(installer texelary-convert)
    if(TARGET texelary)
        add_dependencies(installer texelary)
    endif()
    if(TARGET texelary-thumbnails)
        add_dependencies(installer texelary-thumbnails)
    endif()
else()
    message(STATUS "makensis not found (package nsis): no installer target")
endif()
