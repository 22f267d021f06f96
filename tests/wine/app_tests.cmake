# Quorvane.exe's own tests, included from this directory's CMakeLists.txt: its resources read
# from the built executable, and the program run against the stand-ins. A hook DLL, loaded by
# Windows into Quorvane's process, traces the texts of its status bar.
add_library(app_status_hook SHARED app_status_hook.cpp)
set_target_properties(app_status_hook PROPERTIES PREFIX "")

# quorvane_app_test(NAME SOURCES file... [LIBRARIES target...]): a Wine test that runs
# Quorvane.exe with the hook in place.
function(quorvane_app_test name)
    cmake_parse_arguments(PARSE_ARGV 1 TEST "" "" "SOURCES;LIBRARIES")
    quorvane_wine_test(${name} SOURCES ${TEST_SOURCES} app_process.cpp
                       LIBRARIES ${TEST_LIBRARIES})
    target_link_libraries(${name} PRIVATE advapi32 version)
    target_compile_definitions(${name} PRIVATE UNICODE
        QUORVANE_VERSION=L"${PROJECT_VERSION}"
        QUORVANE_EXE=L"${HOST_ROOT_DRIVE}$<TARGET_FILE:Quorvane>"
        QUORVANE_STATUS_HOOK_DLL=L"${HOST_ROOT_DRIVE}$<TARGET_FILE:app_status_hook>")
    add_dependencies(${name} Quorvane app_status_hook)
endfunction()

quorvane_app_test(app_tests
    SOURCES app_resources_test.cpp app_window_test.cpp app_bridge_test.cpp app_panel_test.cpp
            app_unwatched_test.cpp ${PROJECT_SOURCE_DIR}/app/real_windows.cpp
    LIBRARIES shell)
target_link_libraries(app_tests PRIVATE gdi32 winmm shell32 ole32 uuid)
# The window against a module that answers between frames of 25 ms.
quorvane_app_test(app_repaint_tests SOURCES app_repaint_test.cpp LIBRARIES repaint_probe)

# The window and the panel's sentences again from 115 to 300 % of the display scale, and at
# 100 % in DejaVu Sans 9, wider and taller than Windows' own Segoe UI 9: both set in the Wine
# prefix's registry, so only where the tests run under Wine.
if(NOT QUORVANE_WINE_RUN)
    return()
endif()
set(fit_test $<TARGET_FILE:app_tests> --gtest_filter=QuorvaneAlone.WindowAndEverySentenceFitTheDisplayScale)
foreach(dpi 110 120 144 168 192 288)
    add_test(NAME app_tests_at_${dpi}_dpi
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/at_dpi ${QUORVANE_WINE_RUN} ${CMAKE_BINARY_DIR}/wineprefix
                ${dpi} ${fit_test})
    set_tests_properties(app_tests_at_${dpi}_dpi PROPERTIES RUN_SERIAL TRUE TIMEOUT 120)
endforeach()
add_test(NAME app_tests_in_dejavu_sans
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/in_message_font ${QUORVANE_WINE_RUN}
            ${CMAKE_BINARY_DIR}/wineprefix "DejaVu Sans" 9 ${fit_test})
set_tests_properties(app_tests_in_dejavu_sans PROPERTIES RUN_SERIAL TRUE TIMEOUT 120)
