#include "windows/command_processor.hpp"

#include "support/text.hpp"
#include "windows/program_search.hpp"

namespace Windows::Command_Processor {

namespace {

// The endings are ASCII: no byte of a UTF-8 character beyond ASCII folds to one of their letters.
bool Ends_With_Letters(std::string_view text, std::string_view ending) noexcept
{
    if (text.size() < ending.size()) return false;
    return Text::Equal(text.substr(text.size() - ending.size()), ending, false);
}

} // namespace

bool Is_Batch_File(std::string_view program) noexcept
{
    return Ends_With_Letters(program, ".bat") || Ends_With_Letters(program, ".cmd");
}

void Check_Quotable(std::string_view text)
{
    for (char character : text) {
        if (character == '%')
            throw UNSAFE_TEXT(std::string(text) + " holds a \"%\", which cmd.exe would replace even in quotes");
        if (character == '"') throw UNSAFE_TEXT(std::string(text) + " holds a double quote");
        if (static_cast<unsigned char>(character) < 0x20) throw UNSAFE_TEXT("the text holds a control character");
    }
}

std::string Quoted(std::string_view text)
{
    Check_Quotable(text);
    return '"' + std::string(text) + '"';
}

std::string Program() { return Program_Search::In_System_Folder("cmd.exe"); }

std::string Arguments(std::string_view command) { return "/d /s /v:off /c \"" + std::string(command) + "\""; }

} // namespace Windows::Command_Processor
