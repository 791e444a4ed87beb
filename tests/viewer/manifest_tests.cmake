# The application manifest at work: the viewer started as a child process and this GUI test
# program itself, both asked which common controls they were bound to.
lumen_add_test(NAME manifest_tests
    SOURCES viewer/manifest_tests.cpp
    LIBRARIES viewer_harness
    GUI)
add_dependencies(manifest_tests lumen_roll)
target_compile_definitions(manifest_tests PRIVATE LUMEN_ROLL_EXE="$<TARGET_FILE:lumen_roll>")
