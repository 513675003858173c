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

# The secure windows, driven as a user drives them, on real stores made by the engine.
add_library(secure_window_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/main_window_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/secure_window_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_script.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../secure/secure_fixture.cpp
)
target_link_libraries(secure_window_test_support PUBLIC syncoravel_ui syncoravel_test_support)

syncoravel_add_test(secure_prog_tests ${CMAKE_CURRENT_LIST_DIR}/secure_prog_test.cpp)
syncoravel_add_test(secure_folders_tests
    ${CMAKE_CURRENT_LIST_DIR}/secure_folders_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/secure_folders_edit_test.cpp
)
syncoravel_add_test(secure_run_tests ${CMAKE_CURRENT_LIST_DIR}/secure_run_test.cpp)
foreach(name secure_prog_tests secure_folders_tests secure_run_tests)
    target_link_libraries(${name} PRIVATE secure_window_test_support)
endforeach()
