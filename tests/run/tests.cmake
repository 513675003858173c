syncoravel_add_test(run_tests
    ${CMAKE_CURRENT_LIST_DIR}/log_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/run_context_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_file_writer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/worker_thread_test.cpp
)
