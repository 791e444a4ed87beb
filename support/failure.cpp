#include "support/failure.hpp"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace Failures {

namespace {

// The readable name of a type ("std::runtime_error" rather than "St13runtime_error").
std::string Type_Name(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                    std::free);
    return status == 0 && readable ? readable.get() : type.name();
}

} // namespace

std::string Description(const std::exception& failure)
{
    if (auto named = dynamic_cast<const Named_Failure*>(&failure)) return named->Information();
    std::string text = Type_Name(typeid(failure));
    if (const char* detail = failure.what(); detail && *detail) text += ": " + std::string(detail);
    return text;
}

std::string Current_Description() noexcept
{
    try {
        try {
            throw;
        } catch (const std::exception& failure) {
            return Description(failure);
        } catch (...) {
            return "UNKNOWN_EXCEPTION";
        }
    } catch (...) {
        return {};
    }
}

} // namespace Failures
