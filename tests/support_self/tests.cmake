syncoravel_add_test(support_tests
    ${CMAKE_CURRENT_LIST_DIR}/debug_output_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recycle_bin_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_drives_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/unix_access_test.cpp
)
