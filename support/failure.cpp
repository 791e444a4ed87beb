#include "support/failure.hpp"

#include <typeinfo>

namespace Failures {

std::string Description(const std::exception& failure)
{
    if (auto named = dynamic_cast<const Named_Failure*>(&failure)) return named->Information();
    std::string text = typeid(failure).name();
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
