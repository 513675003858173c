# The scripts a user runs, on Wine prefixes of their own: the first start of scripts/run on a
# fresh prefix without a display (about a minute, most of it making the prefix), and the
# package, whose program is started in that same prefix.
add_test(NAME first_start
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/first_start_test.sh $<TARGET_FILE:Syncoravel>
            ${CMAKE_BINARY_DIR}/fresh-start)
set_tests_properties(first_start PROPERTIES TIMEOUT 600 FIXTURES_SETUP fresh_prefix)

add_test(NAME package
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_test.sh $<TARGET_FILE:Syncoravel>
            ${CMAKE_BINARY_DIR}/version.txt ${CMAKE_BINARY_DIR}/fresh-start
            ${CMAKE_BINARY_DIR}/package-test)
set_tests_properties(package PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED fresh_prefix)

# The pictures of docs/, as the picture scripts check them when they take them.
add_test(NAME pictures COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/pictures_test.sh)
set_tests_properties(pictures PROPERTIES TIMEOUT 120)

# The fresh prefix's small drive is a mount that outlives both tests; it goes after them, so
# that a build tree can be deleted and a test run leaves no mount behind.
add_test(NAME fresh_prefix_cleanup
    COMMAND bash -c "SYNCORAVEL_BUILD='${CMAKE_BINARY_DIR}/fresh-start' && . '${CMAKE_SOURCE_DIR}/scripts/lib/common.sh' && small_drive_unmount")
set_tests_properties(fresh_prefix_cleanup PROPERTIES TIMEOUT 60 FIXTURES_CLEANUP fresh_prefix)
