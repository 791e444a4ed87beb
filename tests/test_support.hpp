#pragma once
// Helpers shared by the test programs.

#include <gtest/gtest.h>

#include <string>

namespace Test_Support {

// Expects Statement to raise exactly the named failure Failure_Type (compared by its text too).
#define EXPECT_FAILURE(statement, failure_type)                                                        \
    EXPECT_THROW(                                                                                      \
        {                                                                                              \
            try {                                                                                      \
                statement;                                                                             \
            } catch (const failure_type& failure) {                                                    \
                EXPECT_STREQ(failure.what(), failure_type::name);                                      \
                throw;                                                                                 \
            }                                                                                          \
        },                                                                                             \
        failure_type)

// A fresh, empty folder under the system's temporary folder, removed with its files at the end.
class Temporary_Folder {
public:
    Temporary_Folder();
    ~Temporary_Folder();
    Temporary_Folder(const Temporary_Folder&) = delete;
    Temporary_Folder& operator=(const Temporary_Folder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Whole-file helpers through the C library, independent of the code under test.
std::string Read_File(const std::string& path);
void Write_File(const std::string& path, const std::string& bytes);
bool File_Exists(const std::string& path);

} // namespace Test_Support
