# One place for the warning set; every target links m845_warnings.
add_library(m845_warnings INTERFACE)
target_compile_options(m845_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Werror)
target_compile_definitions(m845_warnings INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT)

# Every source folder is one library made of the files it holds, its rooms included, so adding
# a file never means editing a list.
function(m845_library name)
    cmake_parse_arguments(ARG "QT" "" "LIBS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
         ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    list(FILTER sources EXCLUDE REGEX "\\.h$")
    if(NOT sources)
        # A folder whose code has not been written yet still takes part in the graph.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_LIBS})
        return()
    endif()
    file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${name} STATIC ${sources} ${headers})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE m845_warnings)
    if(ARG_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON AUTORCC ON)
    endif()
endfunction()

# One test program per test folder; ctest runs each as a whole. MAIN picks the
# entry point: plain, core (a QCoreApplication) or widgets (a QApplication).
function(m845_test name)
    cmake_parse_arguments(ARG "" "MAIN;SHARDS" "LIBS" ${ARGN})
    if(NOT ARG_MAIN)
        set(ARG_MAIN plain)
    endif()
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_executable(${name} ${sources} ${PROJECT_SOURCE_DIR}/tests/common/main_${ARG_MAIN}.cpp)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock m845_warnings)
    if(NOT ARG_MAIN STREQUAL "plain")
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    endif()
    # A long program runs as several shards, so that ctest -j spreads it over the cores.
    if(ARG_SHARDS)
        math(EXPR last "${ARG_SHARDS} - 1")
        foreach(index RANGE ${last})
            add_test(NAME ${name}_${index} COMMAND ${name})
            set_tests_properties(${name}_${index} PROPERTIES TIMEOUT 600 ENVIRONMENT
                "QT_QPA_PLATFORM=offscreen;GTEST_TOTAL_SHARDS=${ARG_SHARDS};GTEST_SHARD_INDEX=${index}")
        endforeach()
    else()
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
    endif()
endfunction()
