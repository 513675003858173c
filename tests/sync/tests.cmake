syncoravel_add_test(sync_tests
    ${CMAKE_CURRENT_LIST_DIR}/definition_parser_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_operations_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/folder_snapshot_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mirror_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mirror_pass_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mirror_safety_test.cpp
)
