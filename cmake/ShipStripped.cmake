# The Windows programs ship without their debug information, which is over
# nine tenths of a RelWithDebInfo .exe: it moves to <program>.exe.debug beside
# it, which the .exe names (.gnu_debuglink) for gdb. Elsewhere nothing changes.
function(vantrix_ship_stripped target)
    if(NOT WIN32 OR NOT CMAKE_OBJCOPY)
        return()
    endif()
    set(exe $<TARGET_FILE:${target}>)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${exe} ${exe}.debug
        COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${exe}.debug ${exe}
        COMMENT "Moving the debug information of ${target} to its .debug file"
        VERBATIM)
endfunction()
