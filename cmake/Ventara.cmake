# Shared compile settings and helpers for Ventara's targets.

set(VENTARA_WARNINGS
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wsuggest-override -Wold-style-cast)

function(ventara_target_defaults target)
    target_compile_options(${target} PRIVATE ${VENTARA_WARNINGS})
    if(VENTARA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
        # GCC 12 at -O3 reports uses that cannot happen inside the standard library's own
        # std::variant and std::string code (GCC bugs 105329, 105562): they stay warnings.
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
            target_compile_options(${target} PRIVATE
                -Wno-error=maybe-uninitialized -Wno-error=restrict)
        endif()
    endif()
    target_compile_definitions(${target} PRIVATE
        QT_NO_CAST_FROM_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_KEYWORDS
        QT_USE_QSTRINGBUILDER)
endfunction()

# ventara_add_library(<name> DIR <dir> [RECURSE] LIBS <libs...>)
# A static library built from every .cpp/.h in DIR (and, with RECURSE, its subfolders).
function(ventara_add_library name)
    cmake_parse_arguments(ARG "RECURSE" "DIR" "LIBS" ${ARGN})
    if(ARG_RECURSE)
        file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp ${ARG_DIR}/*.h ${ARG_DIR}/*.qrc)
    else()
        file(GLOB sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp ${ARG_DIR}/*.h ${ARG_DIR}/*.qrc)
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    ventara_target_defaults(${name})
endfunction()

# ventara_add_tests(DIR <dir> LIBS <libs...> [GUI])
# One test executable per tests/<layer>/test_*.cpp. GUI tests run on the offscreen platform.
function(ventara_add_tests)
    cmake_parse_arguments(ARG "GUI" "DIR" "LIBS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${ARG_DIR}/test_*.cpp)
    foreach(source ${tests})
        get_filename_component(base ${source} NAME_WE)
        get_filename_component(layer ${ARG_DIR} NAME)
        set(target ${layer}_${base})
        add_executable(${target} ${source})
        set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        target_link_libraries(${target} PRIVATE ${ARG_LIBS} ventara_testsupport Qt6::Test)
        ventara_target_defaults(${target})
        add_test(NAME ${layer}/${base} COMMAND ${target})
        # A test that crashes fails at once: QtTest's stack dump forks a debugger from the
        # signal handler, which hangs until the test's timeout when the heap is what broke.
        set(env "QT_QPA_PLATFORM=offscreen" "VENTARA_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
                "QTEST_DISABLE_STACK_DUMP=1"
                "HOME=${CMAKE_BINARY_DIR}/test-home/${target}"
                "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/${target}/config")
        set_tests_properties(${layer}/${base} PROPERTIES ENVIRONMENT "${env}" LABELS ${layer})
    endforeach()
endfunction()

# ventara_install_manual(<page>)
# Installs the manual page <page> (a file the build writes, such as .../man1/ventara.1)
# compressed, as Debian ships manual pages, into share/man/man<section>.
function(ventara_install_manual page)
    get_filename_component(name ${page} NAME)
    string(REGEX MATCH "[0-9]$" section ${name})
    add_custom_command(OUTPUT ${page}.gz
        COMMAND gzip -9nkf ${page}
        DEPENDS ${page} VERBATIM)
    add_custom_target(manual_${name} ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
