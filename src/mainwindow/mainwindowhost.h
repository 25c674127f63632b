#pragma once

namespace vellaro {

class ReminderListModel;

// What the main window asks of whatever runs the program: the list it shows and the commands
// its menus and list start. The run (AppCore) provides it and builds the window.
class MainWindowHost
{
public:
    virtual ReminderListModel *model() const = 0;
    virtual void addReminder() = 0;
    virtual void editReminder(int row) = 0;
    virtual void showAbout() = 0;
    virtual void chooseTransparency() = 0;
    virtual void exitProgram() = 0;
    virtual void localeChanged() = 0;

protected:
    ~MainWindowHost() = default;
};

} // namespace vellaro
