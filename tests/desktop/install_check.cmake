# cmake -DBUILD_DIR=... -DPREFIX=... -DDESKTOP_FILE_VALIDATE=... -DAPPSTREAMCLI=... -P install_check.cmake

function(run_checked what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    message(STATUS "${what}:\n${out}")
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${what} failed (${rc})")
    endif()
endfunction()

foreach(tool DESKTOP_FILE_VALIDATE APPSTREAMCLI)
    if(NOT ${tool})
        message(FATAL_ERROR "${tool} is not installed (Debian's desktop-file-utils and appstream)")
    endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
run_checked("cmake --install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}")

set(expected
    bin/quillvane
    bin/quillvane-convert
    share/man/man1/quillvane-convert.1.gz
    share/applications/org.example.quillvane.desktop
    share/metainfo/org.example.quillvane.metainfo.xml
    share/icons/hicolor/16x16/apps/quillvane.png
    share/icons/hicolor/32x32/apps/quillvane.png
    share/icons/hicolor/scalable/apps/quillvane.svg)
foreach(path IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
run_checked("bin/quillvane is executable" test -x "${PREFIX}/bin/quillvane")

# desktop-file-validate passes a file with warnings; a clean file makes it say nothing.
execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${PREFIX}/share/applications/org.example.quillvane.desktop"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate (${rc}):\n${out}")
endif()
run_checked("appstreamcli validate" "${APPSTREAMCLI}" validate --no-net --pedantic
            "${PREFIX}/share/metainfo/org.example.quillvane.metainfo.xml")
# Across the tree: the launchable names a desktop entry that really is installed.
run_checked("appstreamcli validate-tree" "${APPSTREAMCLI}" validate-tree --no-net "${PREFIX}")
