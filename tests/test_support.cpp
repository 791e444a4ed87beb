#include "tests/test_support.hpp"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace Test_Support {

namespace {

void Remove_Tree(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Remove_Tree(full);
            else DeleteFileA(full.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

} // namespace

Temporary_Folder::Temporary_Folder()
{
    static std::atomic<unsigned> serial{0};
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    path_ = std::string(base) + "lumen_test_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(serial++);
    Remove_Tree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

Temporary_Folder::~Temporary_Folder() { Remove_Tree(path_); }

std::string Read_File(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void Write_File(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

bool File_Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

} // namespace Test_Support
