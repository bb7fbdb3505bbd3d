# Native unit tests: the extension against the recording fake host, and the host's
# pure rules, both under the sanitizers.
add_library(corvane_stub SHARED tests/fakes/corvane_stub.cpp)
set_target_properties(corvane_stub PROPERTIES PREFIX "" OUTPUT_NAME Corvane SUFFIX ".dll")

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp)
add_executable(wsk_unit_tests ${UNIT_TEST_SOURCES} ${EXTENSION_SOURCES} ${HOST_RULES_SOURCES}
    platform/platform_posix.cpp tests/fakes/fake_host.cpp)
target_include_directories(wsk_unit_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(wsk_unit_tests PRIVATE CORVANE_DLL_PATH="$<TARGET_FILE:corvane_stub>")
target_link_libraries(wsk_unit_tests PRIVATE GTest::gtest_main ${CMAKE_DL_LIBS})
add_dependencies(wsk_unit_tests corvane_stub)
add_test(NAME native.unit COMMAND wsk_unit_tests)

file(GLOB HOST_RULES_TEST_SOURCES CONFIGURE_DEPENDS tests/host_rules/*.cpp)
add_executable(host_rules_tests ${HOST_RULES_TEST_SOURCES} ${HOST_RULES_SOURCES}
    corvane/cabinet_names.cpp corvane/mem_inf.cpp)
target_include_directories(host_rules_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(host_rules_tests PRIVATE GTest::gtest_main)
add_test(NAME native.host_rules COMMAND host_rules_tests)
