#include "viewer/timers.hpp"

#include "gui/window_thread.hpp"

#include <windows.h>

#include <array>

namespace Control {

namespace {

constexpr std::size_t Timer_Count = static_cast<std::size_t>(Timer::Narrowed_Trees_Work) + 1;

std::array<std::function<void()>, Timer_Count>& Routines() // window thread only
{
    static std::array<std::function<void()>, Timer_Count> routines;
    return routines;
}

// The routine is copied first: it may stop its own timer, which lets its routine go.
void CALLBACK On_Timer(HWND, UINT, UINT_PTR identifier, DWORD) noexcept
{
    try {
        if (identifier >= Timer_Count) return;
        const std::function<void()> routine = Routines()[identifier];
        if (routine) routine();
    } catch (...) {
        Gui::Show_Current_Failure();
    }
}

} // namespace

void Start_Timer(Timer timer, unsigned period_ms, std::function<void()> routine)
{
    const auto identifier = static_cast<UINT_PTR>(timer);
    Routines()[identifier] = std::move(routine);
    SetTimer(Gui::Main_Window(), identifier, period_ms, On_Timer);
}

void Stop_Timer(Timer timer)
{
    const auto identifier = static_cast<UINT_PTR>(timer);
    KillTimer(Gui::Main_Window(), identifier);
    Routines()[identifier] = nullptr;
}

} // namespace Control
