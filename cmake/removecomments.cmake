# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on the staged package, before the debug symbols are split off: takes the .comment
# section, the compiler's version notes, out of the programs.
find_program(OBJCOPY_EXECUTABLE objcopy REQUIRED)
file(GLOB programs ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*)
foreach(program IN LISTS programs)
    execute_process(COMMAND ${OBJCOPY_EXECUTABLE} --remove-section=.comment ${program}
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()
