# The console tools are started as separate processes; the tests find them by the path the
# build gives (a Linux path, which Wine maps to a drive of its own). The killed runs have a
# program of their own, so that they run beside the other tool tests.
syncoravel_add_test(tools_tests
    ${CMAKE_CURRENT_LIST_DIR}/mirrorpass_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tool_process.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../sync/mirror_fixture.cpp
)
syncoravel_add_test(mirrorpass_kill_tests
    ${CMAKE_CURRENT_LIST_DIR}/mirrorpass_kill_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tool_process.cpp
)
foreach(name tools_tests mirrorpass_kill_tests)
    target_compile_definitions(${name} PRIVATE
        SYNCORAVEL_MIRRORPASS="$<TARGET_FILE:mirrorpass>")
    add_dependencies(${name} mirrorpass)
endforeach()
# Each kill point runs the tool twice over a tree with big files, on a fixed drive and on a
# removable one; on a machine busy with other builds the points took over seven minutes.
set_tests_properties(mirrorpass_kill_tests PROPERTIES TIMEOUT 1200)
