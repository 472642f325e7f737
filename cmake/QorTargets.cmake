# One static library per src/ folder, named qor_<folder>, holding every source file below it.
#   qor_library(<folder> DEPS <targets...>)
# The library sees on its include path only its own folder and the folders of the qor_ libraries
# it depends on (and, through their include paths, the folders below those): an include of a
# layer above it does not compile. The path is a folder of links in the build tree, one per
# visible src/ folder, so includes keep their "<folder>/<file>.h" form.
function(qor_library folder)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(qor_${folder} STATIC ${sources})
    set(visible ${CMAKE_BINARY_DIR}/layers/${folder})
    file(REMOVE_RECURSE ${visible})
    file(MAKE_DIRECTORY ${visible})
    set(folders ${folder})
    foreach(dep ${ARG_DEPS})
        if(dep MATCHES "^qor_(.+)$")
            list(APPEND folders ${CMAKE_MATCH_1})
        endif()
    endforeach()
    foreach(name ${folders})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${name} ${visible}/${name} SYMBOLIC)
    endforeach()
    target_include_directories(qor_${folder} PUBLIC ${visible})
    target_link_libraries(qor_${folder} PUBLIC ${ARG_DEPS})
endfunction()

# All *Test.cpp files of the calling tests/ folder in one GoogleTest program, each test a CTest
# test. Files named *QTest.cpp are Qt Test programs of their own (see qor_qtests). A test held to a
# wall-clock or CPU limit goes in a suite whose name ends in "Timed" (a Qt Test program: a file
# named *TimedQTest.cpp): scripts/test.sh runs those alone, after the others.
#   qor_gtests(<name> DEPS <targets...>)
function(qor_gtests name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
    list(FILTER sources EXCLUDE REGEX "QTest\\.cpp$")
    file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/support/*.h)
    add_executable(${name} ${sources} ${helpers})
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        QOR_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
        QOR_TEST_WORK_DIR="${CMAKE_CURRENT_BINARY_DIR}/work"
        QOR_FFMPEG_COMMAND="${FFMPEG_COMMAND}")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy")
endfunction()

# Each *QTest.cpp file of the calling tests/ folder as a Qt Test program and a CTest test.
#   qor_qtests(DEPS <targets...>)
function(qor_qtests)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*QTest.cpp)
    foreach(source ${sources})
        get_filename_component(name ${source} NAME_WE)
        add_executable(${name} ${source})
        target_link_libraries(${name} PRIVATE ${ARG_DEPS} Qt6::Test)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy")
    endforeach()
endfunction()
