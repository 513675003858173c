syncoravel_add_test(secure_tests
    ${CMAKE_CURRENT_LIST_DIR}/index_container_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/index_query_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/index_recovery_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/protect_release_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/protect_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/release_outcome_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/secure_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/securearea_tool_test.cpp
)

# The console tool is run by its own tests; they find it next to themselves in the build
# tree, or by the path the build gave it. Its limited-file-size run goes through the Wine
# launcher from the Linux side.
add_dependencies(secure_tests securearea)
target_compile_definitions(secure_tests PRIVATE
    SECUREAREA_UNIX_PATH="$<TARGET_FILE:securearea>"
    SYNCORAVEL_WINE_EXEC="${CMAKE_BINARY_DIR}/wine-exec")
