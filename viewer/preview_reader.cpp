#include "viewer/preview_reader.hpp"

#include "support/failure.hpp"
#include "support/log.hpp"

#include <vector>

namespace Control {

Preview_Reader::~Preview_Reader() { Stop(); }

void Preview_Reader::Start(Show_Routine show, HANDLE stop_event)
{
    show_ = std::move(show);
    stop_event_ = stop_event;
    thread_ = std::thread([this] { Run(); });
}

void Preview_Reader::Ask(Request request)
{
    {
        std::lock_guard guard(lock_);
        const Clock::time_point now = Clock::now();
        slot_.In_Run = now - slot_.Asked < std::chrono::milliseconds(Settle_Ms);
        slot_.Asked = now;
        slot_.Newest = std::move(request);
        ++slot_.Generation;
    }
    ++requests_;
    SetEvent(asked_.get());
}

void Preview_Reader::Stop()
{
    SetEvent(stop_.get());
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Preview_Reader::Run() noexcept
{
    try {
        for (;;) {
            if (!Wait_For_Quiet()) return;
            std::uint64_t generation = 0;
            if (const std::optional<Request> request = Take(generation)) Read_And_Show(*request, generation);
        }
    } catch (...) {
        Log::Put_Exception("Preview stopped");
    }
}

// Waits for a request and then for the quiet that ends it: Grace_Ms after a lone one, Settle_Ms
// within a run. False when the reader is to stop.
bool Preview_Reader::Wait_For_Quiet()
{
    std::vector<HANDLE> events{asked_.get(), stop_.get()};
    if (stop_event_) events.push_back(stop_event_);
    const auto count = static_cast<DWORD>(events.size());
    if (WaitForMultipleObjects(count, events.data(), FALSE, INFINITE) != WAIT_OBJECT_0) return false;
    bool in_run = false;
    {
        std::lock_guard guard(lock_);
        in_run = slot_.In_Run;
    }
    DWORD quiet = in_run ? Settle_Ms : Grace_Ms;
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(count, events.data(), FALSE, quiet);
        if (woken == WAIT_TIMEOUT) return true;
        if (woken != WAIT_OBJECT_0) return false;
        quiet = Settle_Ms; // another came meanwhile: a run
    }
}

std::optional<Preview_Reader::Request> Preview_Reader::Take(std::uint64_t& generation)
{
    std::lock_guard guard(lock_);
    std::optional<Request> request = std::move(slot_.Newest);
    slot_.Newest.reset();
    generation = slot_.Generation;
    return request;
}

bool Preview_Reader::Superseded(std::uint64_t generation)
{
    if (Stopping()) return true;
    std::lock_guard guard(lock_);
    return slot_.Generation != generation;
}

bool Preview_Reader::Stopping() const
{
    if (WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0) return true;
    return stop_event_ && WaitForSingleObject(stop_event_, 0) == WAIT_OBJECT_0;
}

void Preview_Reader::Read_And_Show(const Request& request, std::uint64_t generation)
{
    ++reads_;
    Gui::Pane_Text text;
    try {
        text = Preview_Text::Read(request.Place, request.Fitting_Lines, [&] { return Superseded(generation); });
    } catch (const Preview_Text::SUPERSEDED&) {
        return;
    } catch (...) {
        const std::string failure = Failures::Current_Description();
        text.Lines = {L"Preview failed: " + std::wstring(failure.begin(), failure.end())};
    }
    if (!Superseded(generation) && show_) show_(text);
}

} // namespace Control
