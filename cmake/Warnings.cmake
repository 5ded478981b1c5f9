option(TIDYFOLD_WERROR "Treat compiler warnings as errors (the test command turns it on)" OFF)

function(tidyfold_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(TIDYFOLD_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
