#pragma once
// Tells when something in a watched folder changes: a file written, resized, created, deleted or
// renamed. One thread waits for every folder at once on an I/O completion port, each folder with
// one overlapped ReadDirectoryChangesW outstanding; while nothing changes the thread sleeps in the
// system and costs no processor time, however many folders it watches.

#include "support/failure.hpp"
#include "windows/unique_handle.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace Windows {

class Directory_Watch {
public:
    using NOT_WATCHED = Failures::Failure<"WINDOWS.DIRECTORY_WATCH.NOT_WATCHED">;

    // Told on the watch's thread the number Add gave the folder in which something changed. A
    // burst of changes may be told once or several times; while Changed runs, further changes are
    // kept by the system and told afterwards.
    using Changed_Routine = std::function<void(std::size_t folder)>;

    explicit Directory_Watch(Changed_Routine changed);
    ~Directory_Watch();
    Directory_Watch(const Directory_Watch&) = delete;
    Directory_Watch& operator=(const Directory_Watch&) = delete;

    // Before Start: watches the folder (a full path, UTF-8) and returns its number, from 0 on.
    // NOT_WATCHED, with the system's error, when it cannot be opened or watched.
    std::size_t Add(const std::string& folder);
    // Starts the thread.
    void Start();
    // Ends the thread and the watching; waits for a Changed that runs.
    void Stop();

private:
    struct Folder;
    void Run() noexcept;
    bool Watch(Folder& folder);

    Changed_Routine changed_;
    Unique_Handle port_;
    std::vector<std::unique_ptr<Folder>> folders_;
    std::thread thread_;
};

} // namespace Windows
