# House warning set; CI turns them into errors.
function(tenvora_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor)
    if(TENVORA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
