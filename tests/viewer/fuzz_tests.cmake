# A short seeded robustness run of the viewer (the long one is scripts/fuzz): fresh viewers fed
# random and malformed scripts without stalls, checked against the fuzz host's grammar model.
lumen_add_test(NAME fuzz_tests
    SOURCES viewer/fuzz_tests.cpp
    LIBRARIES bench_fuzz viewer_harness
    GUI)
add_dependencies(fuzz_tests lumen_roll)
target_compile_definitions(fuzz_tests PRIVATE LUMEN_ROLL_EXE="$<TARGET_FILE:lumen_roll>")
