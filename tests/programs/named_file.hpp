#pragma once
// A file under a UTF-8 name, which the C library's 8-bit names cannot reach; the test folder's
// own clean-up lists 8-bit names and cannot either, so the file (and a folder made for it) goes
// with this owner.

#include "windows/files.hpp"
#include "windows/files_io.hpp"
#include "windows/unicode.hpp"

#include <windows.h>

#include <string>

namespace Test_Support {

class Named_File {
public:
    Named_File(std::string path, const std::string& bytes) : path_(std::move(path))
    {
        namespace IO = Windows::Files::IO;
        made_folder_ = CreateDirectoryW(Windows::Unicode::Wide(Folder()).c_str(), nullptr) != FALSE;
        IO::Handle file = IO::Handle::Create(path_, {.New_Only = false, .Share_Read = false});
        file.Put(bytes);
        file.Close();
    }
    ~Named_File()
    {
        try {
            Windows::Files::Delete_File(path_);
        } catch (const Windows::Files::ACCESS_DENIED&) {
        }
        if (made_folder_) RemoveDirectoryW(Windows::Unicode::Wide(Folder()).c_str());
    }
    Named_File(const Named_File&) = delete;
    Named_File& operator=(const Named_File&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string Folder() const { return path_.substr(0, path_.rfind('\\')); }

    std::string path_;
    bool made_folder_ = false;
};

} // namespace Test_Support
