syncoravel_add_test(run_tests
    ${CMAKE_CURRENT_LIST_DIR}/log_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/run_context_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/run_sequence_test.cpp
)
