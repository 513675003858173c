syncoravel_add_test(base_tests
    ${CMAKE_CURRENT_LIST_DIR}/path_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_types_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_reader_test.cpp
)
