# Native unit tests: the extension against the recording fake host, and the host's
# shared rules, both under the sanitizers.
add_library(corvane_stub SHARED tests/fakes/corvane_stub.cpp)
set_target_properties(corvane_stub PROPERTIES PREFIX "" OUTPUT_NAME Corvane SUFFIX ".dll")

include(cmake/unit_tests.cmake)
add_shared_unit_tests(native platform/platform_posix.cpp $<TARGET_FILE:corvane_stub>)
add_dependencies(wsk_unit_tests corvane_stub)
