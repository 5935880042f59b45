# Fails when the program named by PROGRAM needs a Qt library at run time (as ldd resolves it). A static program
# needs no library at all.
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libraries ERROR_VARIABLE errors RESULT_VARIABLE status)
if("${libraries}${errors}" MATCHES "not a dynamic executable")
    return()
endif()
if(NOT status EQUAL 0 OR NOT libraries MATCHES "libc\\.so")
    message(FATAL_ERROR "ldd ${PROGRAM} failed:\n${libraries}${errors}")
endif()
string(REGEX MATCHALL "libQt[^ ]*" qt "${libraries}")
if(qt)
    message(FATAL_ERROR "${PROGRAM} needs ${qt}")
endif()
