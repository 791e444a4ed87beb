#pragma once
// The command line of lumen_send.

#include "support/failure.hpp"
#include "lumen_send/places.hpp"

#include <string>
#include <vector>

namespace Send::Options {

using USAGE_ERROR = Failures::Failure<"SEND.OPTIONS.USAGE_ERROR">;

struct Settings {
    std::string Input = "-"; // a file name, or "-" for standard input
    std::string Title;       // the window caption; see Parse for its default
    bool Expand = true;      // the flag byte of every group
    std::string Viewer;      // start this viewer first when not empty
    std::string Editor;      // the viewer's second argument
    std::string Open_With;   // a setting for lumen_open, which then is the viewer's editor
    Places::Encoding Input_Encoding = Places::Encoding::Auto;
    bool Clamp_Columns = false;
    bool No_Columns = false;
    bool Statistics = false;
    double Timeout_Seconds = 10.0; // for the viewer's pipe to appear and for each acknowledgement
    double Wait_Seconds = 600.0;   // with --viewer: for another transfer to finish
    bool Verbose = false;          // list every line that is not read, however many
    bool Help = false;
    std::string Protocol;          // "1.1", "2.0", or empty: 2.0 with --viewer, else 1.1
};

// Whether the run sends batches on a pipe of its own: the viewer it starts speaks both protocols,
// one started by another program is only known to wait on the message-by-message one's pipe.
inline bool Uses_Batches(const Settings& settings)
{
    return settings.Protocol == "2.0" || (settings.Protocol.empty() && !settings.Viewer.empty());
}

// Arguments without the program name. The title defaults to the input file name, or to
// "lumen_send" for standard input. Raises USAGE_ERROR with a message for the user.
Settings Parse(const std::vector<std::string>& arguments);

extern const char* const Help_Text;

} // namespace Send::Options
