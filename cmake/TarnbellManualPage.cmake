# A program's manual page, written by help2man from its --help and --version and compressed
# as Debian policy asks: gzip -9n, the highest compression, no file name or time stamp inside.
find_program(TARNBELL_HELP2MAN help2man)
find_program(TARNBELL_GZIP gzip)

# Makes the page of `target` (its target `target`-manpage) with `summary` as its NAME line and
# the sections of `include_file` (help2man's --include form), and installs it. help2man runs
# the program through PATH, so that the page names it, not its place in the build folder.
# Sanitizer builds make none: their leak report at exit would fail the build.
function(tarnbell_manual_page target summary include_file)
    if(TARNBELL_SANITIZE)
        return()
    endif()
    if(NOT TARNBELL_HELP2MAN OR NOT TARNBELL_GZIP)
        message(STATUS "help2man or gzip not found: ${target} gets no manual page")
        return()
    endif()
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${target}>:$ENV{PATH}"
                ${TARNBELL_HELP2MAN} --no-info --section=1 "--name=${summary}"
                --include=${include_file} --output=${page} ${target}
        COMMAND ${TARNBELL_GZIP} -9nf ${page}
        DEPENDS ${target} ${include_file}
        COMMENT "Writing the manual page of ${target}"
        VERBATIM)
    add_custom_target(${target}-manpage ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
