# The console tools are started as separate processes; the tests find them by the path the
# build gives (a Linux path, which Wine maps to a drive of its own).
syncoravel_add_test(tools_tests
    ${CMAKE_CURRENT_LIST_DIR}/mirrorpass_test.cpp
)
target_compile_definitions(tools_tests PRIVATE
    SYNCORAVEL_MIRRORPASS="$<TARGET_FILE:mirrorpass>")
add_dependencies(tools_tests mirrorpass)
