#pragma once
// A file type as an installer registers it, for the tests of what opening a file may start: the
// extension names a class of the test's own, whose Verb's command starts Program with the file
// and the parameters ("PROGRAM" "%L" %*, as the Python launcher writes its own). Under
// HKEY_LOCAL_MACHINE\Software\Classes, where this system's shell looks types up (Wine 8 does not
// merge the user's classes into HKEY_CLASSES_ROOT). At destruction the class goes and the
// extension's class is put back as it was.

#include <windows.h>

#include <optional>
#include <string>

namespace Test_Support {

class Registered_Type {
public:
    Registered_Type(const std::string& extension, const std::string& verb, const std::string& program)
        : extension_key_("Software\\Classes\\" + extension), class_key_("Software\\Classes\\Lumen_Roll.Test" + extension)
    {
        char previous[256];
        DWORD size = sizeof previous;
        if (RegGetValueA(HKEY_LOCAL_MACHINE, extension_key_.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, previous, &size) ==
            ERROR_SUCCESS)
            previous_class_ = previous;
        Set(extension_key_, class_key_.substr(class_key_.rfind('\\') + 1));
        Set(class_key_ + "\\shell\\" + verb + "\\command", "\"" + program + "\" \"%L\" %*");
    }
    ~Registered_Type()
    {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, class_key_.c_str());
        if (previous_class_) Set(extension_key_, *previous_class_);
        else RegDeleteTreeA(HKEY_LOCAL_MACHINE, extension_key_.c_str());
    }
    Registered_Type(const Registered_Type&) = delete;
    Registered_Type& operator=(const Registered_Type&) = delete;

private:
    static void Set(const std::string& key, const std::string& value)
    {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size() + 1));
    }

    std::string extension_key_;
    std::string class_key_;
    std::optional<std::string> previous_class_;
};

} // namespace Test_Support
