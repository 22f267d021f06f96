# What Quorvane.exe survives: a hostile or failing module, an add-on that ends, and other clients
# beside it; its minutes of running are reliability/'s soak. Included from this directory's CMakeLists.txt after
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
