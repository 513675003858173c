# What every window test shares: the main window fixture, the control-table check and the
# user's keystrokes, clicks and drops.
add_library(ui_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/main_window_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_input.cpp
)
target_link_libraries(ui_test_support PUBLIC syncoravel_ui syncoravel_test_support)

# The windows need a screen: scripts/test runs them under Xvfb.
syncoravel_add_test(ui_tests
    ${CMAKE_CURRENT_LIST_DIR}/dialog_host_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/launch_options_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_window_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/run_controller_test.cpp
)
target_link_libraries(ui_tests PRIVATE ui_test_support)

# The real program, started as a user would start it.
syncoravel_add_test(program_tests
    ${CMAKE_CURRENT_LIST_DIR}/program_test.cpp
)
target_compile_definitions(program_tests PRIVATE
    SYNCORAVEL_EXE="$<TARGET_FILE:Syncoravel>")
add_dependencies(program_tests Syncoravel)

# The secure windows, driven as a user drives them, on real stores made by the engine.
add_library(secure_window_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/secure_window_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_script.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../secure/secure_fixture.cpp
)
target_link_libraries(secure_window_test_support PUBLIC ui_test_support)

syncoravel_add_test(secure_prog_tests ${CMAKE_CURRENT_LIST_DIR}/secure_prog_test.cpp)
syncoravel_add_test(secure_folders_tests
    ${CMAKE_CURRENT_LIST_DIR}/secure_folders_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/secure_folders_edit_test.cpp
)
syncoravel_add_test(secure_run_tests ${CMAKE_CURRENT_LIST_DIR}/secure_run_test.cpp)
foreach(name secure_prog_tests secure_folders_tests secure_run_tests)
    target_link_libraries(${name} PRIVATE secure_window_test_support)
endforeach()

# The definition dialogs and the version window, driven as a user drives them. The
# program's resources are linked in for the icons the windows load from their module.
syncoravel_add_test(dialog_tests
    ${CMAKE_CURRENT_LIST_DIR}/dialog_user.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mirror_edit_dialog_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/program_dialogs_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/run_soft_edit_dialog_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sync_preview_window_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/version_window_test.cpp
    ${CMAKE_SOURCE_DIR}/res/syncoravel.rc
)
target_link_libraries(dialog_tests PRIVATE ui_test_support)
target_compile_definitions(dialog_tests PRIVATE
    SYNCORAVEL_EXE="$<TARGET_FILE:Syncoravel>")
add_dependencies(dialog_tests Syncoravel)

# The window tests share one screen: the keyboard focus, the active window and the mouse
# pointer of one program would be taken by another's windows. They run one at a time.
set_tests_properties(ui_tests program_tests dialog_tests secure_prog_tests
    secure_folders_tests secure_run_tests PROPERTIES RESOURCE_LOCK screen)
