target_sources(syncoravel_engine PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/file_attributes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/index_container.cpp
    ${CMAKE_CURRENT_LIST_DIR}/index_query.cpp
    ${CMAKE_CURRENT_LIST_DIR}/index_tags.cpp
    ${CMAKE_CURRENT_LIST_DIR}/protect_operation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/release_operation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/secure_context.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_layout.cpp
)

# The shifts of the index container must come out alike in every build: no multiplication
# and addition may be fused into one instruction with a single rounding.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/index_container.cpp
    PROPERTIES COMPILE_OPTIONS "-ffp-contract=off;-fno-fast-math")
