#include "gui/registered/registered.hpp"

#include "gui/gui.hpp"
#include "gui/registered/list_view_data.hpp"
#include "windows/registry.hpp"
#include "windows/unsigned.hpp"
#include "windows/windows.hpp"

#include <exception>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace Gui::Registered {

namespace {

namespace Registry = Windows::Registry;

constexpr const char* Metrics_Subkey = "Metrics";

// One instance per process. Unlocked: the main thread fills it before the window opens, and the
// termination thread reads it only after the framework's hand-overs have ordered the two.
struct Module_State {
    std::optional<Company> Selected_Company;
    std::string Application_Key; // the application name followed by one backslash
    std::string Current_Settings_Path;
    // False when the settings key could be neither created nor opened: the registry's current
    // key is then a root, and settings are neither read from nor written into it.
    bool Settings_Key_Selected = false;
    std::function<void()> Application_Termination;
    // Read on the main thread, saved on the termination thread, which may come at any time.
    std::mutex Settings_Lock;
    std::vector<Window_Setting> Window_Settings;
};

// Never destroyed: the termination thread may still use it while the runtime ends the process.
Module_State& State()
{
    static Module_State* const state = new Module_State;
    return *state;
}

Registry::Registry_Root Settings_Root()
{
    return Use_Machine_Root() ? Registry::Registry_Root::Local_Machine : Registry::Registry_Root::Current_User;
}

// Decided at module start-up, before the application runs.
[[maybe_unused]] const bool machine_root_decided = Use_Machine_Root();

// A created key is current already; the open that follows decides when creation failed.
bool Try_Create_Key(const std::string& path)
{
    try {
        Registry::Create_Key(path);
        return true;
    } catch (const Registry::KEY_CREATION_FAILURE&) {
        return false;
    }
}

// Back to the interactive user's settings key after a look under the machine root.
void Reselect_User_Key() noexcept
{
    Module_State& state = State();
    Registry::Set_Root(Registry::Registry_Root::Current_User);
    try {
        Registry::Open_Key(state.Current_Settings_Path);
        state.Settings_Key_Selected = true;
    } catch (...) {
        state.Settings_Key_Selected = false;
    }
}

std::optional<std::int32_t> Value_In_Current_Key(const std::string& name)
{
    if (!State().Settings_Key_Selected) return std::nullopt;
    try {
        return Unsigned::To_Integer(Registry::Dword_Value(name));
    } catch (const Failures::Named_Failure&) {
        return std::nullopt; // missing or not a number: the fall-back and the default decide
    }
}

// The machine-wide value serves as the default of an interactive user who has none.
std::optional<std::int32_t> Machine_Value(const std::string& name)
{
    std::optional<std::int32_t> value;
    try {
        Registry::Set_Root(Registry::Registry_Root::Local_Machine);
        Registry::Open_Key(State().Current_Settings_Path);
        value = Unsigned::To_Integer(Registry::Dword_Value(name));
    } catch (const Failures::Named_Failure&) {
        value.reset();
    }
    Reselect_User_Key();
    return value;
}

std::int32_t Read_Size(const std::string& name, std::int32_t default_value)
{
    const std::int32_t size = Read_Setting(name, default_value);
    if (size < 0)
        throw Failures::RANGE_ERROR("stored \"" + name + "\" is " + std::to_string(size) + ", must be 0 or more");
    return size;
}

void Save_Geometry()
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    Select_Settings_Key(Metrics_Subkey);
    Window_Metrics(x, y, width, height);
    Write_Setting("X-Position", x);
    Write_Setting("Y-Position", y);
    Write_Setting("Width", width);
    Write_Setting("Height", height);
}

void Save_Window_Settings()
{
    Module_State& state = State();
    std::lock_guard guard(state.Settings_Lock);
    for (const Window_Setting& setting : state.Window_Settings)
        if (setting.Current) Write_Setting(setting.Name, setting.Current());
}

void Save_Registered_Columns()
{
    const List_View_Data::Item& columns = List_View_Data::Registered_Columns();
    for (auto node = columns.Head(); node; node = node->next) List_View_Data::Save(node->element);
}

// Whether a visible top-level window of the class (another run of the application) has its top
// left corner at Place.
bool Window_Of_Class_At(const std::string& class_name, POINT place)
{
    for (HWND window = FindWindowExA(nullptr, nullptr, class_name.c_str(), nullptr); window;
         window = FindWindowExA(nullptr, window, class_name.c_str(), nullptr)) {
        RECT rectangle;
        if (IsWindowVisible(window) && GetWindowRect(window, &rectangle) && rectangle.left == place.x &&
            rectangle.top == place.y)
            return true;
    }
    return false;
}

// Two runs started one after the other would open exactly on top of each other at the stored
// place, the second hiding the first: as the system cascades, each one that finds the place taken
// opens a caption's height further down and right. Every step passes a window, so it ends.
POINT Free_Place(const std::string& class_name, POINT stored)
{
    if (stored.x == CW_USEDEFAULT || stored.y == CW_USEDEFAULT) return stored; // the system places it
    const int step = GetSystemMetrics(SM_CYCAPTION);
    POINT place = stored;
    while (Window_Of_Class_At(class_name, place)) {
        place.x += step;
        place.y += step;
    }
    return place;
}

void Run_Application_Termination()
{
    const std::function<void()>& termination = State().Application_Termination;
    if (!termination) throw Failures::ACCESS_ERROR("no application termination routine");
    termination();
}

} // namespace

bool Use_Machine_Root()
{
    static const bool machine_root = Windows::Is_Service();
    return machine_root;
}

std::string Company_Name(Company company)
{
    switch (company) {
    case Company::Tessaline:
        return "Tessaline";
    case Company::Quillmark:
        return "Quillmark";
    }
    throw Failures::RANGE_ERROR("company " + std::to_string(static_cast<int>(company)));
}

void Set_Application(Company company, const std::string& application)
{
    Module_State& state = State();
    state.Selected_Company = company;
    state.Application_Key = application + "\\";
    Select_Settings_Key("");
}

std::string Settings_Path(const std::string& subkey)
{
    const Module_State& state = State();
    if (!state.Selected_Company) throw NO_APPLICATION("settings path of \"" + subkey + "\"");
    return "Software\\" + Company_Name(*state.Selected_Company) + "\\" + state.Application_Key + subkey;
}

void Select_Settings_Key(const std::string& subkey) noexcept
{
    Module_State& state = State();
    try {
        const std::string path = Settings_Path(subkey);
        state.Current_Settings_Path = path;
        state.Settings_Key_Selected = false;
        Registry::Set_Root(Settings_Root());
        state.Settings_Key_Selected = Try_Create_Key(path);
        Registry::Open_Key(path);
        state.Settings_Key_Selected = true;
    } catch (...) {
        // Ends silently: a key that could be neither created nor opened leaves the settings that
        // follow at their defaults.
    }
}

std::int32_t Read_Setting(const std::string& name, std::int32_t default_value)
{
    if (const auto value = Value_In_Current_Key(name)) return *value;
    if (!Use_Machine_Root()) {
        if (const auto value = Machine_Value(name)) return *value;
    }
    Write_Setting(name, default_value);
    return default_value;
}

void Write_Setting(const std::string& name, std::int32_t value)
{
    if (!State().Settings_Key_Selected) return; // never into a root key
    Registry::Set_Dword_Value(name, Unsigned::To_Unsigned(value));
}

void Open_Registered_Main_Window(Registered_Window_Options options)
{
    Set_Application(options.Company, options.Application);
    State().Application_Termination = std::move(options.Termination);
    Select_Settings_Key(Metrics_Subkey);
    const std::int32_t y = Read_Setting("Y-Position", options.Default_Y);
    const std::int32_t x = Read_Setting("X-Position", options.Default_X);
    const std::int32_t height = Read_Size("Height", options.Default_Height);
    const std::int32_t width = Read_Size("Width", options.Default_Width);
    const std::string name = options.Application + " " + options.Version;
    const POINT place = Free_Place(name, {x, y});
    Open_Main_Window({.Name = name,
                      .Termination = Save_Window_State,
                      .Width = width,
                      .Height = height,
                      .X = place.x,
                      .Y = place.y,
                      .Icon = options.Icon,
                      .Topmost = options.Topmost});
}

std::int32_t Read_Window_Setting(Window_Setting setting)
{
    Module_State& state = State();
    std::lock_guard guard(state.Settings_Lock);
    Select_Settings_Key(Metrics_Subkey);
    const std::int32_t value = Read_Setting(setting.Name, setting.Default);
    state.Window_Settings.push_back(std::move(setting));
    return value;
}

void Save_Window_State()
{
    std::exception_ptr failure;
    try {
        // Without a window there is no placement; the stored one stays for the next start.
        if (Has_Window_Metrics() && !Is_Minimized() && !Is_Maximized()) {
            Save_Geometry();
            Save_Window_Settings();
            Save_Registered_Columns();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The application's own shutdown work must not depend on the registry being writable.
    Run_Application_Termination();
    if (failure) std::rethrow_exception(failure);
}

} // namespace Gui::Registered
