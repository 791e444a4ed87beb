# The platform library against the real system: registry, files, processes and modules, and the
# version resource (read from a test program that carries the program's resource, and refused
# by one that carries none).
lumen_add_test(NAME registry_tests SOURCES windows/registry_tests.cpp LIBRARIES windows_platform)
lumen_add_test(NAME files_tests SOURCES windows/files_tests.cpp windows/files_io_tests.cpp windows/local_files_tests.cpp
    LIBRARIES windows_platform)

# The child that the process tests start; it reports its command line, folder and environment.
add_executable(process_probe windows/process_probe.cpp)
# The version resource's language path is written with Unsigned's hex images, so they are tested here.
lumen_add_test(NAME system_tests
    SOURCES windows/system_tests.cpp windows/version_tests.cpp windows/unsigned_tests.cpp
        windows/program_search_tests.cpp
    LIBRARIES windows_platform lumen_roll_resources viewer_harness)
add_dependencies(system_tests process_probe)

lumen_add_test(NAME version_missing_tests SOURCES windows/version_missing_tests.cpp LIBRARIES windows_platform)

# A program whose ANSI code page is UTF-8: nothing is converted twice.
lumen_add_test(NAME utf8_code_page_tests SOURCES windows/utf8_code_page_tests.cpp windows/utf8_code_page.rc
    LIBRARIES windows_platform)
set_source_files_properties(windows/utf8_code_page.rc PROPERTIES
    OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/utf8_code_page.manifest)
target_include_directories(utf8_code_page_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/windows)
