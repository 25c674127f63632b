#pragma once

#include <QString>

#include <array>
#include <vector>

namespace vellaro {

// How often a menu entry has been used and in which run it was used last.
struct UsageRecord
{
    int useCount = 0; // -1 marks an entry that is always in use
    int lastRun = 0;
    friend bool operator==(const UsageRecord &, const UsageRecord &) = default;
};

// One step of the usage schedule: an entry used up to useCount times stays in use for this
// many runs after its last use.
struct UsageStep
{
    int useCount;
    int runs;
};

inline constexpr std::array<UsageStep, 26> kUsageSchedule{{
    {0, 3},   {1, 3},   {2, 6},   {3, 9},   {4, 12},  {5, 12},  {6, 17},  {7, 17},  {8, 17},
    {9, 23},  {10, 23}, {11, 23}, {12, 23}, {13, 23}, {14, 31}, {15, 31}, {16, 31}, {17, 31},
    {18, 31}, {19, 31}, {20, 31}, {21, 31}, {22, 31}, {23, 31}, {24, 31}, {25, 31},
}};

// The number of runs an entry used usageCount times stays in use: the first schedule step that
// covers the count, or the last step for counts past the end.
int runsInUse(int usageCount);

// In use: always for a count of -1, otherwise while fewer runs than the schedule allows have
// passed since the entry's last use.
bool isInUse(const UsageRecord &usage, int runCount);

// What a menu bar starts every run with: its menus, their entries and the usage values they were
// laid out with. These are never written back, so every run starts from the same values.
struct MenuItemDefinition
{
    QString action;  // the command the entry runs; empty for a separator
    QString caption; // the entry's own caption; empty to show the command's caption
    UsageRecord stored;
    bool isSeparator() const { return action.isEmpty(); }
};

struct MenuDefinition
{
    QString caption;
    UsageRecord stored;
    std::vector<MenuItemDefinition> items;
};

struct MenuBarDefinition
{
    int runCount = 0; // the stored run counter; each run counts one more
    std::vector<MenuDefinition> menus;
};

// The main window's menu bar: "&Файл", "&Настройки" and "&Помощ" with their commands.
MenuBarDefinition mainMenuBarDefinition();

// Which entries of a menu show when it opens collapsed.
struct CollapsedView
{
    std::vector<bool> shown; // per entry, separators included
    // Something is hidden and something is left: the menu ends with the expand row. When
    // nothing would be left the menu shows every entry instead, and has no row.
    bool expandRow = false;
};

// The usage state of a menu bar for one run: starts from the stored values with the run counter
// raised by one, and changes only when a command is run from the bar.
class MenuUsage final
{
public:
    explicit MenuUsage(const MenuBarDefinition &stored);

    int runCount() const { return m_runCount; }
    int menuCount() const { return int(m_menus.size()); }
    int itemCount(int menu) const { return int(m_menus.at(menu).items.size()); }
    bool isSeparator(int menu, int item) const;

    const UsageRecord &menuUsage(int menu) const { return m_menus.at(menu).usage; }
    const UsageRecord &itemUsage(int menu, int item) const;
    // Separators are never in use.
    bool isItemInUse(int menu, int item) const;

    CollapsedView collapsedView(int menu) const;

    // A command run from the bar: the entry and the menu holding it count one more use (a count
    // of -1 stays) in the current run.
    void recordExecution(int menu, int item);

private:
    struct Item
    {
        bool separator;
        UsageRecord usage;
    };
    struct Menu
    {
        UsageRecord usage;
        std::vector<Item> items;
    };

    void use(UsageRecord &usage) const;

    int m_runCount;
    std::vector<Menu> m_menus;
};

// A colour as red, green and blue from 0 to 255.
struct RgbColour
{
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const RgbColour &, const RgbColour &) = default;
};

// The background of the picture column of entries not in use: the button face lightened by 15
// on the 0..240 luminance scale with hue and saturation kept, or darkened by 15 when it is so
// saturated (above 220) that lightening would wash it out.
RgbColour unusedItemColour(RgbColour buttonFace);

} // namespace vellaro
