# Warnings and sanitizers, applied per target so an including project keeps its own flags.
function(tarnbell_target_defaults target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive-)
        if(TARNBELL_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
            -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough)
        if(TARNBELL_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
    if(TARNBELL_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined
            -fno-sanitize-recover=all -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# The wire codec reads untrusted bytes: it also gets the integer-conversion warnings.
function(tarnbell_strict_conversions target)
    if(NOT MSVC)
        target_compile_options(${target} PRIVATE -Wconversion -Wsign-conversion -Wold-style-cast)
    endif()
endfunction()
