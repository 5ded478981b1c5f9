# One switch turns on AddressSanitizer and UndefinedBehaviorSanitizer for
# every target of the build; the test script builds a second tree with it.
function(tidyfold_sanitize target)
    if(TIDYFOLD_SANITIZE)
        target_compile_options(${target} PUBLIC -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        target_link_options(${target} PUBLIC -fsanitize=address,undefined)
    endif()
endfunction()
