#include "windows/directory_watch.hpp"

#include "windows/unicode.hpp"

#include <windows.h>

namespace Windows {

namespace {

// The names of what changed are not read: a change tells the owner to look at the folder's files,
// and a burst that overflows the buffer comes as a read of no bytes, which is told all the same.
constexpr DWORD Buffer_Size = 1024;
constexpr DWORD Watched_Changes = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                  FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
// The completion key that ends the thread; a folder's key is its number + 1.
constexpr ULONG_PTR Stop_Key = 0;

} // namespace

struct Directory_Watch::Folder {
    Unique_File Handle;
    OVERLAPPED Overlapped{};
    alignas(DWORD) char Buffer[Buffer_Size];
    bool Pending = false;
};

Directory_Watch::Directory_Watch(Changed_Routine changed)
    : changed_(std::move(changed)), port_(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1))
{
    if (!port_) throw NOT_WATCHED("no completion port: error " + std::to_string(GetLastError()));
}

Directory_Watch::~Directory_Watch() { Stop(); }

std::size_t Directory_Watch::Add(const std::string& folder)
{
    auto watched = std::make_unique<Folder>();
    watched->Handle.reset(CreateFileW(Unicode::Wide(folder).c_str(), FILE_LIST_DIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    if (!watched->Handle) throw NOT_WATCHED(folder + ": error " + std::to_string(GetLastError()));
    const ULONG_PTR key = folders_.size() + 1;
    if (!CreateIoCompletionPort(watched->Handle.get(), port_.get(), key, 0))
        throw NOT_WATCHED(folder + ": error " + std::to_string(GetLastError()));
    if (!Watch(*watched)) throw NOT_WATCHED(folder + ": error " + std::to_string(GetLastError()));
    folders_.push_back(std::move(watched));
    return folders_.size() - 1;
}

bool Directory_Watch::Watch(Folder& folder)
{
    folder.Overlapped = OVERLAPPED{};
    folder.Pending = ReadDirectoryChangesW(folder.Handle.get(), folder.Buffer, Buffer_Size, FALSE, Watched_Changes,
                                           nullptr, &folder.Overlapped, nullptr) != 0;
    return folder.Pending;
}

void Directory_Watch::Start()
{
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

// The reads still outstanding are cancelled, and their completions taken, before their buffers go.
void Directory_Watch::Stop()
{
    if (thread_.joinable()) {
        PostQueuedCompletionStatus(port_.get(), 0, Stop_Key, nullptr);
        thread_.join();
    }
    std::size_t outstanding = 0;
    for (const auto& folder : folders_)
        if (folder->Pending && CancelIoEx(folder->Handle.get(), &folder->Overlapped)) ++outstanding;
    for (; outstanding > 0; --outstanding) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* done = nullptr;
        if (!GetQueuedCompletionStatus(port_.get(), &bytes, &key, &done, 1000) && !done) break;
    }
    folders_.clear();
}

// A folder whose watch cannot be renewed (it was deleted) is told once more and then left.
void Directory_Watch::Run() noexcept
{
    for (;;) {
        DWORD bytes = 0;
        ULONG_PTR key = Stop_Key;
        OVERLAPPED* done = nullptr;
        const BOOL taken = GetQueuedCompletionStatus(port_.get(), &bytes, &key, &done, INFINITE);
        if (key == Stop_Key) return;
        if (!taken && !done) return; // the port itself failed
        const std::size_t number = key - 1;
        if (number >= folders_.size()) continue;
        Watch(*folders_[number]);
        try {
            if (changed_) changed_(number);
        } catch (...) {
            // The owner's failure must not end the watching of every other folder.
        }
    }
}

} // namespace Windows
