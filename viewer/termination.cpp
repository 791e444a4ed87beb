#include "viewer/termination.hpp"

#include "support/log.hpp"

#include <string>

namespace Control {

void Terminate(std::string_view message)
{
    Log::Put("!!! " + std::string(message));
    throw Termination();
}

} // namespace Control
