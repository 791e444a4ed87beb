# The batch protocol: its decoding in the test process (the UTF-8 boundary, every check against a
# batch's end), then the real viewer fed batches over the run's own pipe, beside the
# message-by-message protocol; and a short fuzz run of batches against the fuzz host's own model.
lumen_add_test(NAME batch_tests
    SOURCES viewer/batch_tests.cpp viewer/batch_fuzz_tests.cpp
    LIBRARIES control viewer_harness bench_fuzz
    GUI)
add_dependencies(batch_tests lumen_roll)
target_compile_definitions(batch_tests PRIVATE LUMEN_ROLL_EXE="$<TARGET_FILE:lumen_roll>")
