# The test programs that build from the same sources on both sides: the extension against
# the recording fake host (on the given platform layer), and the host's shared rules.
function(add_shared_unit_tests prefix platform_source corvane_path)
    file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
    add_executable(wsk_unit_tests ${unit_sources} ${EXTENSION_SOURCES} ${HOST_RULES_SOURCES}
        ${platform_source} tests/fakes/fake_host.cpp)
    target_include_directories(wsk_unit_tests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(wsk_unit_tests PRIVATE CORVANE_DLL_PATH="${corvane_path}")
    target_link_libraries(wsk_unit_tests PRIVATE GTest::gtest_main ${CMAKE_DL_LIBS})
    add_test(NAME ${prefix}.unit COMMAND wsk_unit_tests)

    file(GLOB rules_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host_rules/*.cpp)
    add_executable(host_rules_tests ${rules_sources} ${HOST_RULES_SOURCES}
        corvane/cabinet_names.cpp corvane/mem_inf.cpp setuphost/run_outcome.cpp)
    target_include_directories(host_rules_tests PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(host_rules_tests PRIVATE GTest::gtest_main)
    add_test(NAME ${prefix}.host_rules COMMAND host_rules_tests)
endfunction()
