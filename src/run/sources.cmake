target_sources(syncoravel_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/log_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/run_context.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_file_writer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/worker_thread.cpp
)
