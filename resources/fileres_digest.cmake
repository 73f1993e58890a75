# Writes the header with the MD5 of the built resource package.
file(MD5 ${RCC} digest)
file(WRITE ${HEADER}.tmp "// Generated at build time from fileres.rcc.\n#pragma once\n#define VDX_FILERES_MD5 \"${digest}\"\n#define VDX_FILERES_FONTS \"${FONTS}\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${HEADER}.tmp ${HEADER})
file(REMOVE ${HEADER}.tmp)
