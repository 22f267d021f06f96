# What Quorvane.exe survives: a hostile or failing module, an add-on that ends, other clients
# beside it, and minutes of running. Included from this directory's CMakeLists.txt after
# app_tests.cmake, whose programs these start.
function(quorvane_starts_app target)
    target_compile_definitions(${target} PRIVATE UNICODE
        QUORVANE_EXE=L"${HOST_ROOT_DRIVE}$<TARGET_FILE:Quorvane>"
        QUORVANE_STATUS_HOOK_DLL=L"${HOST_ROOT_DRIVE}$<TARGET_FILE:app_status_hook>")
    add_dependencies(${target} Quorvane app_status_hook kit-module kit-addon)
endfunction()

quorvane_wine_test(fault_tests
    SOURCES fault_module_test.cpp fault_addon_test.cpp fault_clients_test.cpp app_process.cpp
    LIBRARIES simlink)
quorvane_starts_app(fault_tests)

# Minutes long by design: scripts/soak-wine runs it, ctest does not.
add_executable(soak_quorvane soak_quorvane.cpp app_process.cpp)
target_link_libraries(soak_quorvane PRIVATE wine_harness simlink psapi)
quorvane_starts_app(soak_quorvane)
