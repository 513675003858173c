target_sources(syncoravel_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/program_location.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_file.cpp
)
