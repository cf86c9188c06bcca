# Fails the build of Setup.exe when the file outgrows its limit: update
# tools download it, and most of a larger file would be runtime code the
# program does not use. Called with -DFILE=<path> -DLIMIT=<bytes>.
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
    message(FATAL_ERROR "${FILE} is ${size} bytes, over its limit of ${LIMIT}")
endif()
