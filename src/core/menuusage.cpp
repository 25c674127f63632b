#include "core/menuusage.h"

#include <algorithm>
#include <cmath>

namespace vellaro {

int runsInUse(int usageCount)
{
    for (const UsageStep &pair : kUsageSchedule) {
        if (pair.useCount >= usageCount)
            return pair.runs;
    }
    return kUsageSchedule.back().runs;
}

bool isInUse(const UsageRecord &usage, int runCount)
{
    if (usage.useCount == -1)
        return true;
    return runCount - usage.lastRun < runsInUse(usage.useCount);
}

MenuBarDefinition mainMenuBarDefinition()
{
    auto command = [](const char *action, int lastRun = 0) {
        return MenuItemDefinition{QString::fromLatin1(action), QString(), {0, lastRun}};
    };
    MenuBarDefinition bar;
    bar.runCount = 12;
    bar.menus = {
        {QStringLiteral("&Файл"),
         {},
         {command("addAction"), command("deleteAction"), command("editAction"),
          MenuItemDefinition{}, command("exitAction")}},
        {QStringLiteral("&Настройки"), {}, {command("transparencyAction", 12)}},
        // The entry's own caption wins over the command's "&About".
        {QStringLiteral("&Помощ"),
         {},
         {MenuItemDefinition{QStringLiteral("aboutAction"), QStringLiteral("З&а програмата"), {}}}},
    };
    return bar;
}

MenuUsage::MenuUsage(const MenuBarDefinition &stored) : m_runCount(stored.runCount + 1)
{
    m_menus.reserve(stored.menus.size());
    for (const MenuDefinition &menu : stored.menus) {
        Menu m{menu.stored, {}};
        m.items.reserve(menu.items.size());
        for (const MenuItemDefinition &item : menu.items)
            m.items.push_back({item.isSeparator(), item.stored});
        m_menus.push_back(std::move(m));
    }
}

bool MenuUsage::isSeparator(int menu, int item) const
{
    return m_menus.at(menu).items.at(item).separator;
}

const UsageRecord &MenuUsage::itemUsage(int menu, int item) const
{
    return m_menus.at(menu).items.at(item).usage;
}

bool MenuUsage::isItemInUse(int menu, int item) const
{
    const Item &i = m_menus.at(menu).items.at(item);
    return !i.separator && isInUse(i.usage, m_runCount);
}

CollapsedView MenuUsage::collapsedView(int menu) const
{
    const int count = itemCount(menu);
    CollapsedView view;
    view.shown.resize(count);
    bool anyInUse = false;
    bool anyHidden = false;
    for (int i = 0; i < count; ++i) {
        if (isSeparator(menu, i))
            continue;
        view.shown[i] = isItemInUse(menu, i);
        anyInUse = anyInUse || view.shown[i];
        anyHidden = anyHidden || !view.shown[i];
    }
    if (!anyInUse) {
        // Hiding would leave an empty menu: everything shows, there is nothing to expand.
        std::fill(view.shown.begin(), view.shown.end(), true);
        return view;
    }
    for (int i = 0; i < count; ++i) {
        if (!isSeparator(menu, i))
            continue;
        const bool above = i > 0 && isItemInUse(menu, i - 1);
        const bool below = i + 1 < count && isItemInUse(menu, i + 1);
        view.shown[i] = above || below;
    }
    view.expandRow = anyHidden;
    return view;
}

void MenuUsage::use(UsageRecord &usage) const
{
    if (usage.useCount != -1)
        ++usage.useCount;
    usage.lastRun = m_runCount;
}

void MenuUsage::recordExecution(int menu, int item)
{
    Menu &m = m_menus.at(menu);
    use(m.items.at(item).usage);
    use(m.usage);
}

namespace {

constexpr int kHlsMax = 240;
constexpr int kRgbMax = 255;

struct Hls
{
    int hue;
    int luminance;
    int saturation;
};

// Hue, luminance and saturation on the 0..240 scale, each rounded to the nearest step.
Hls toHls(RgbColour c)
{
    const int maxC = std::max({c.red, c.green, c.blue});
    const int minC = std::min({c.red, c.green, c.blue});
    const int sum = maxC + minC;
    const int luminance = (sum * kHlsMax + kRgbMax) / (2 * kRgbMax);
    if (maxC == minC)
        return {kHlsMax * 2 / 3, luminance, 0};

    const int delta = maxC - minC;
    const int saturation = luminance <= kHlsMax / 2
                               ? (delta * kHlsMax + sum / 2) / sum
                               : (delta * kHlsMax + (2 * kRgbMax - sum) / 2) / (2 * kRgbMax - sum);
    auto part = [&](int channel) { return ((maxC - channel) * (kHlsMax / 6) + delta / 2) / delta; };
    int hue;
    if (c.red == maxC)
        hue = part(c.blue) - part(c.green);
    else if (c.green == maxC)
        hue = kHlsMax / 3 + part(c.red) - part(c.blue);
    else
        hue = 2 * kHlsMax / 3 + part(c.green) - part(c.red);
    if (hue < 0)
        hue += kHlsMax;
    if (hue > kHlsMax)
        hue -= kHlsMax;
    return {hue, luminance, saturation};
}

double hueToChannel(double m1, double m2, double hue)
{
    if (hue < 0)
        hue += 1;
    if (hue > 1)
        hue -= 1;
    if (6 * hue < 1)
        return m1 + (m2 - m1) * hue * 6;
    if (2 * hue < 1)
        return m2;
    if (3 * hue < 2)
        return m1 + (m2 - m1) * (2.0 / 3 - hue) * 6;
    return m1;
}

// Back to 0..255. A channel that falls between two levels takes the upper one: the lightened
// colour must not come out darker than the step asked for.
int toLevel(double value)
{
    return std::clamp(int(std::ceil(value * kRgbMax - 1e-9)), 0, kRgbMax);
}

RgbColour toRgb(const Hls &c)
{
    const double l = double(c.luminance) / kHlsMax;
    if (c.saturation == 0) {
        const int v = toLevel(l);
        return {v, v, v};
    }
    const double s = double(c.saturation) / kHlsMax;
    const double h = double(c.hue) / kHlsMax;
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    return {toLevel(hueToChannel(m1, m2, h + 1.0 / 3)), toLevel(hueToChannel(m1, m2, h)),
            toLevel(hueToChannel(m1, m2, h - 1.0 / 3))};
}

} // namespace

RgbColour unusedItemColour(RgbColour buttonFace)
{
    constexpr int kStep = 15;
    Hls hls = toHls(buttonFace);
    hls.luminance += hls.saturation > 220 ? -kStep : kStep;
    hls.luminance = std::clamp(hls.luminance, 0, kHlsMax);
    return toRgb(hls);
}

} // namespace vellaro
