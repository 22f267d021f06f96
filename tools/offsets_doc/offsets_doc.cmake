# Runs offsets_doc ARGS into OUT. Given DOC as well, fails unless OUT and DOC are the same bytes.
#   cmake -DTOOL=<offsets_doc> [-DARGS=--csv] -DOUT=<file> [-DDOC=<committed file>] -P offsets_doc.cmake
execute_process(COMMAND ${TOOL} ${ARGS} OUTPUT_FILE ${OUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "offsets_doc failed: ${status}")
endif()

if(DEFINED DOC)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${DOC} RESULT_VARIABLE differs)
    if(differs)
        message(FATAL_ERROR "${DOC} no longer matches the bridge's tables.\n"
                            "Regenerate it: cmake --build <native build dir> --target "
                            "offsets_doc_update")
    endif()
endif()
