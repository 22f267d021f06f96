# One version for both programs' papers: the VERSIONINFO resources take the numbers of
# project(VERSION) and the copyright line of LICENSE from a header written here, so that neither
# is written twice. The company is the copyright holder. A part that project() leaves out counts as 0.
# The native build takes the same header: the log's first line names the version.
foreach(part MAJOR MINOR PATCH TWEAK)
    set(QUORVANE_VERSION_${part} 0)
    if(NOT "${PROJECT_VERSION_${part}}" STREQUAL "")
        set(QUORVANE_VERSION_${part} ${PROJECT_VERSION_${part}})
    endif()
endforeach()
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE QUORVANE_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
# Who holds the copyright is the company the papers name.
string(REGEX REPLACE "^Copyright \\(c\\) [0-9, -]+ " "" QUORVANE_COMPANY "${QUORVANE_COPYRIGHT}")
configure_file(${PROJECT_SOURCE_DIR}/app/version.h.in
               ${PROJECT_BINARY_DIR}/generated/quorvane_version.h @ONLY)
include_directories(${PROJECT_BINARY_DIR}/generated)
# What a resource script that includes app/version_info.rc depends on, for its OBJECT_DEPENDS:
# windres leaves no list of the files it read.
set(QUORVANE_VERSION_INFO_DEPENDS
    ${PROJECT_SOURCE_DIR}/app/version_info.rc ${PROJECT_BINARY_DIR}/generated/quorvane_version.h)
