#include "viewer/status_text.hpp"

namespace Control {

namespace {

std::string With_Phase(Transfer_Phase phase, const std::string& counts)
{
    switch (phase) {
    case Transfer_Phase::Receiving:
        return "Receiving - " + counts;
    case Transfer_Phase::Timed_Out:
        return "Timed out - " + counts;
    case Transfer_Phase::Broken_Off:
        return "Broken off - " + counts;
    case Transfer_Phase::Complete:
        break;
    }
    return counts;
}

std::string Counted(std::uint64_t shown, std::uint64_t received, const char* one, const char* many)
{
    return std::to_string(shown) + " of " + std::to_string(received) + (received == 1 ? one : many);
}

} // namespace

std::string Status_Text(Transfer_Phase phase, std::uint64_t entries, std::uint64_t files)
{
    return With_Phase(phase, std::to_string(entries) + (entries == 1 ? " entry in " : " entries in ") +
                                 std::to_string(files) + (files == 1 ? " file" : " files"));
}

std::string Narrowed_Status_Text(Transfer_Phase phase, const Counts& shown, const Counts& received)
{
    return With_Phase(phase, Counted(shown.Entries, received.Entries, " entry in ", " entries in ") +
                                 Counted(shown.Files, received.Files, " file", " files"));
}

} // namespace Control
