# The layout: which folder may include which, and no circles of includes.
add_test(NAME include_rules
    COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/include_rules.cmake)
