# A short seeded robustness run of the viewer (the long one is scripts/fuzz): fresh viewers fed
# random and malformed scripts without stalls, checked against the fuzz host's grammar model.
if(TARGET lumen_roll AND TARGET bench_fuzz)
    lumen_add_test(NAME fuzz_tests
        SOURCES control/fuzz_tests.cpp control/viewer_harness.cpp
        LIBRARIES bench_fuzz viewer_window
        GUI)
    add_dependencies(fuzz_tests lumen_roll)
    target_compile_definitions(fuzz_tests PRIVATE LUMEN_ROLL_EXE="$<TARGET_FILE:lumen_roll>")
endif()
