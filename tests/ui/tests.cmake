# The windows need a screen: scripts/test runs them under Xvfb.
syncoravel_add_test(ui_tests
    ${CMAKE_CURRENT_LIST_DIR}/dialog_host_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_window_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/run_controller_test.cpp
)
target_link_libraries(ui_tests PRIVATE syncoravel_ui)

# The real program, started as a user would start it.
syncoravel_add_test(program_tests
    ${CMAKE_CURRENT_LIST_DIR}/program_test.cpp
)
target_compile_definitions(program_tests PRIVATE
    SYNCORAVEL_EXE="$<TARGET_FILE:Syncoravel>")
add_dependencies(program_tests Syncoravel)
