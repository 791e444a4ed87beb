// A stand-in for the viewer that lumen_send --viewer can start: it takes the same arguments (the
// pipe name, then the "editor", here the file to write its record to), serves the pipe like the
// viewer and writes down its arguments and every message it got, each as "<length>:<bytes>\n".
// The record appears under its name only when complete. When LUMEN_FAKE_VIEWER_RECORD names the
// record instead, the editor is a real one, and the record also holds LUMEN_ROLL_EDITOR. When
// LUMEN_FAKE_VIEWER_IDLE names an event, the stand-in is a viewer that never opens its pipe: it
// records nothing and stays until the event is set. On a pipe of the batch protocol it records
// each record instead of each message: the title, a file's name and flag, an entry's text and
// "line:column" in decimal, an empty item for a group's end.

#include "viewer/batch_protocol.hpp"
#include "windows/pipe.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

using Windows::Pipe::Seconds;

struct Recorder {
    Windows::Pipe::Pipe_Handle pipe;
    std::string record;
    char buffer[Batch_Protocol::Batch_Limit];

    void Note(const std::string& item) { record += std::to_string(item.size()) + ":" + item + "\n"; }

    std::string Receive()
    {
        std::string message(buffer, Windows::Pipe::Read(pipe, buffer, Seconds{5.0}));
        Note(message);
        return message;
    }

    void Acknowledge() { Windows::Pipe::Write(pipe, "\x06", 1); }

    // title, then groups of file name, flag and entries (text, line, column) up to an empty text;
    // an empty file name ends the transfer and is not answered.
    void Serve()
    {
        Receive();
        Acknowledge();
        while (!Receive().empty()) {
            Acknowledge();
            Receive();
            Acknowledge();
            for (;;) {
                const bool group_end = Receive().empty();
                Acknowledge();
                if (group_end) break;
                Receive();
                Acknowledge();
                Receive();
                Acknowledge();
            }
        }
    }

    // Reads the records of one batch; true when it held the end.
    bool Record_Batch(std::string_view batch)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(batch.data());
        std::size_t at = 0;
        const auto number = [&](std::size_t size) {
            const std::uint32_t value = Batch_Protocol::Number_At(bytes + at, size);
            at += size;
            return value;
        };
        const auto text = [&] {
            const std::size_t length = number(Batch_Protocol::Length_Size);
            Note(std::string(batch.substr(at, length)));
            at += length;
        };
        while (at < batch.size()) {
            switch (static_cast<Batch_Protocol::Record>(bytes[at++])) {
            case Batch_Protocol::Record::Title: text(); break;
            case Batch_Protocol::Record::File: {
                const char flag = static_cast<char>(number(Batch_Protocol::Flag_Size));
                text();
                Note(std::string(1, flag));
                break;
            }
            case Batch_Protocol::Record::Entry: {
                const std::uint32_t line = number(Batch_Protocol::Value_Size);
                const std::uint32_t column = number(Batch_Protocol::Value_Size);
                text();
                Note(std::to_string(line) + ":" + std::to_string(column));
                break;
            }
            case Batch_Protocol::Record::Group_End: Note(""); break;
            case Batch_Protocol::Record::End: return true;
            default: throw std::runtime_error("unknown record");
            }
        }
        return false;
    }

    void Serve_Batches()
    {
        while (!Record_Batch(std::string_view(buffer, Windows::Pipe::Read(pipe, buffer, Seconds{5.0})))) Acknowledge();
    }
};

} // namespace

int main(int argc, char** argv)
{
    char idle_until[MAX_PATH] = {};
    if (GetEnvironmentVariableA("LUMEN_FAKE_VIEWER_IDLE", idle_until, MAX_PATH) > 0) {
        const Windows::Unique_Handle until{OpenEventA(SYNCHRONIZE, FALSE, idle_until)};
        if (until) WaitForSingleObject(until.get(), 60000);
        return 0;
    }
    if (argc != 3) return 3;
    char named_record[MAX_PATH] = {};
    const bool record_named = GetEnvironmentVariableA("LUMEN_FAKE_VIEWER_RECORD", named_record, MAX_PATH) > 0;
    const std::string record_path = record_named ? named_record : argv[2];
    Recorder recorder;
    recorder.Note(argv[1]);
    recorder.Note(argv[2]);
    if (record_named) {
        char editor_setting[1024] = {};
        GetEnvironmentVariableA("LUMEN_ROLL_EDITOR", editor_setting, sizeof editor_setting);
        recorder.Note(editor_setting);
    }
    try {
        const bool batches = Batch_Protocol::Is_Pipe_Name(argv[1]);
        Windows::Pipe::Open(recorder.pipe, {.Name = argv[1],
                                            .Is_Server = true,
                                            .Mode = Windows::Pipe::Pipe_Mode::Duplex,
                                            .Buffer_Size = batches ? Batch_Protocol::Batch_Limit : 1024,
                                            .Timeout = Seconds{10.0}});
        if (batches) recorder.Serve_Batches();
        else recorder.Serve();
    } catch (const std::exception& failure) {
        recorder.Note(std::string("failure ") + failure.what());
    }
    const std::string partial = record_path + ".part";
    if (FILE* file = std::fopen(partial.c_str(), "wb")) {
        std::fwrite(recorder.record.data(), 1, recorder.record.size(), file);
        std::fclose(file);
        MoveFileExA(partial.c_str(), record_path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    return 0;
}
