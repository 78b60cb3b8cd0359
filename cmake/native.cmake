# The native build: the subsystems against the in-memory fake platform, under ASan and UBSan.
set(KESL_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(kesl_core PRIVATE ${KESL_SANITIZERS})
target_link_options(kesl_core PUBLIC ${KESL_SANITIZERS})
target_compile_options(kesl_handover PRIVATE ${KESL_SANITIZERS})

find_package(GTest REQUIRED)
include(GoogleTest)

add_library(kesl_fake_platform STATIC tests/fake/fake_platform.cpp)
target_link_libraries(kesl_fake_platform PUBLIC kesl_core)
target_compile_options(kesl_fake_platform PRIVATE ${KESL_WARNINGS} ${KESL_SANITIZERS})

file(GLOB KESL_NATIVE_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/native/*.cpp)
add_executable(native_tests ${KESL_NATIVE_TESTS})
target_link_libraries(native_tests PRIVATE kesl_handover kesl_core kesl_fake_platform GTest::gtest_main)
target_compile_options(native_tests PRIVATE ${KESL_WARNINGS} ${KESL_SANITIZERS})
gtest_discover_tests(native_tests TEST_PREFIX "native." PROPERTIES ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:halt_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
