syncoravel_add_test(settings_tests
    ${CMAKE_CURRENT_LIST_DIR}/settings_file_test.cpp
)
