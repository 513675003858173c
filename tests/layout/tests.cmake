# The layout: which folder may include which, and no circles of includes.
set(include_rules ${CMAKE_CURRENT_LIST_DIR}/include_rules.cmake)
add_test(NAME include_rules
    COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -P ${include_rules})

# The same check on a tree that breaks each rule once must name every break, and nothing
# that is no break (an include named in a Japanese comment).
add_test(NAME include_rules_find_each_break
    COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_CURRENT_LIST_DIR}/fixture -P ${include_rules})
set_tests_properties(include_rules_find_each_break PROPERTIES
    PASS_REGULAR_EXPRESSION
    "src/base/low.h: includes src/sync/high.h, but base may include only base.*src/secure/store.cpp: includes src/ui/window.h, but secure may include only secure, base.*src/settings/file.cpp: includes \"sync/missing.h\", which is no file of src.*tools/runner/main.cpp: includes src/ui/window.h, but tools may include only.*src/run/first.h: in a circle of includes, through src/run/second.h.*src/run/second.h: in a circle of includes, through src/run/first.h"
    FAIL_REGULAR_EXPRESSION "fine.cpp")
