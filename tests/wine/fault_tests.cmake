# What Quorvane.exe survives: a hostile or failing module, an add-on that ends, other clients
# beside it. Included from this directory's CMakeLists.txt; builds on app_tests.cmake.
quorvane_wine_test(fault_tests
    SOURCES fault_module_test.cpp fault_addon_test.cpp fault_clients_test.cpp app_process.cpp
    LIBRARIES simlink)
target_compile_definitions(fault_tests PRIVATE UNICODE
    QUORVANE_EXE=L"Z:$<TARGET_FILE:Quorvane>"
    QUORVANE_STATUS_HOOK_DLL=L"Z:$<TARGET_FILE:app_status_hook>")
add_dependencies(fault_tests Quorvane app_status_hook)
