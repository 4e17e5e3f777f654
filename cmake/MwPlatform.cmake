# Per-platform pieces of the build shared by the programs and the tests.

# A program as a user starts it: on Windows a GUI program (no console) carrying its icon and version; elsewhere
# installed with its menu entry and icon (<name>.desktop and <Name>.png beside the CMakeLists.txt adding it).
function(mw_program target description icon)
    if(WIN32)
        set(MW_RC_NAME ${target})
        set(MW_RC_DESCRIPTION "${description}")
        set(MW_RC_ICON "${icon}")
        configure_file(${PROJECT_SOURCE_DIR}/cmake/WindowsProgram.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
        target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
        set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
    else()
        include(GNUInstallDirs)
        string(TOLOWER ${target} name)
        install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        install(FILES ${name}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
        install(FILES ${target}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME ${name}.png)
    endif()
endfunction()

# A GoogleTest program. Natively each test case is its own CTest test; cross-built, the whole program is one
# test run under the emulator (Wine), since listing the cases would start Wine at build time.
function(mw_add_gtest target)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target})
    else()
        gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

# Window tests run offscreen on Linux; the static Windows Qt has only its own platform, on the test X server.
if(WIN32)
    set(MW_GUI_TEST_ENVIRONMENT "")
else()
    set(MW_GUI_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()

# A QTest program as a test. Its output also goes to test-logs/<name>.txt in the build directory, where it stays
# whatever the outcome: under Wine a failure may not come again at once, and its output must not be lost.
function(mw_add_qtest name)
    set(log_dir ${CMAKE_BINARY_DIR}/test-logs)
    file(MAKE_DIRECTORY ${log_dir})
    add_test(NAME ${name} COMMAND ${ARGN} -o ${log_dir}/${name}.txt,txt -o -,txt)
endfunction()
