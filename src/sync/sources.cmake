target_sources(syncoravel_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/definition_parser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_operations.cpp
    ${CMAKE_CURRENT_LIST_DIR}/folder_snapshot.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mirror_pass.cpp
    ${CMAKE_CURRENT_LIST_DIR}/path_tests.cpp
)
