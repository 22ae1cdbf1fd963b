# Shared build helpers: every module and test target gets the same flags and layout rules.

set(LANWICK_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Werror)
# GCC 12 reports plain std::string concatenation as overlapping copies at -O3 (GCC bug 105651): a false alarm
# that would fail every optimised build, so that one check is off for that compiler.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND LANWICK_WARNINGS -Wno-restrict)
endif()

# A core module: the listed sources of one folder of src/ as one static library. The list is explicit, so a file
# is built where its CMakeLists.txt says and nowhere by accident.
function(lanwick_module name)
    cmake_parse_arguments(M "" "" "DEPS;SOURCES" ${ARGN})
    if(NOT M_SOURCES)
        message(FATAL_ERROR "lanwick_module(${name}): no SOURCES listed")
    endif()
    add_library(${name} STATIC ${M_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
    target_compile_options(${name} PRIVATE ${LANWICK_WARNINGS})
    target_link_libraries(${name} PUBLIC ${M_DEPS})
endfunction()

# One GoogleTest binary per test folder; each case is its own ctest test.
function(lanwick_gtest name)
    cmake_parse_arguments(T "" "" "DEPS;SOURCES" ${ARGN})
    if(NOT T_SOURCES)
        message(FATAL_ERROR "lanwick_gtest(${name}): no SOURCES listed")
    endif()
    add_executable(${name} ${T_SOURCES})
    target_compile_options(${name} PRIVATE ${LANWICK_WARNINGS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "LANWICK_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# A test binary that needs the namespace LAN: built like the others, run once as a whole inside the
# monitor namespace by tests/lan/with_lan.sh, labelled "lan".
# LAN_ARGS: further options of with_lan.sh (--prefix 23, --routed N).
function(lanwick_lan_test name)
    cmake_parse_arguments(T "" "" "DEPS;SOURCES;HOSTS;LAN_ARGS" ${ARGN})
    if(NOT T_HOSTS)
        set(T_HOSTS 40)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_compile_options(${name} PRIVATE ${LANWICK_WARNINGS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${T_DEPS} lanwick_lan GTest::gtest GTest::gtest_main Threads::Threads)
    add_test(NAME ${name} COMMAND bash ${PROJECT_SOURCE_DIR}/tests/lan/with_lan.sh --hosts ${T_HOSTS} ${T_LAN_ARGS}
                                  -- $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES LABELS lan SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 900
                                            ENVIRONMENT "LANWICK_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# QtTest widget tests: each listed tst_*.cpp is its own binary, run on the offscreen platform.
function(lanwick_qtests)
    cmake_parse_arguments(T "" "" "DEPS;TESTS" ${ARGN})
    if(NOT T_TESTS)
        message(FATAL_ERROR "lanwick_qtests: no TESTS listed")
    endif()
    foreach(src ${T_TESTS})
        get_filename_component(base ${src} NAME_WE)
        string(REPLACE "tst_" "" stem ${base})
        set(name qtest_${stem})
        add_executable(${name} ${src})
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
        target_compile_options(${name} PRIVATE ${LANWICK_WARNINGS})
        target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
        target_link_libraries(${name} PRIVATE ${T_DEPS} Qt6::Test Qt6::Widgets)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES LABELS gui TIMEOUT 300
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANWICK_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
    endforeach()
endfunction()

# A QtTest binary that needs the namespace LAN: run once inside the monitor namespace, offscreen, labelled "lan".
function(lanwick_lan_qtest name)
    cmake_parse_arguments(T "" "HOSTS" "DEPS;SOURCES" ${ARGN})
    if(NOT T_HOSTS)
        set(T_HOSTS 4)
    endif()
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_compile_options(${name} PRIVATE ${LANWICK_WARNINGS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${T_DEPS} lanwick_lan Qt6::Test Qt6::Widgets)
    add_test(NAME ${name} COMMAND bash ${PROJECT_SOURCE_DIR}/tests/lan/with_lan.sh --hosts ${T_HOSTS} ${T_LAN_ARGS}
                                  -- $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES LABELS lan SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANWICK_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
