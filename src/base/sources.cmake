target_sources(syncoravel_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/file_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/path.cpp
)
