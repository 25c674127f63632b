#include "benchdata.h"

#include "core/localeformats.h"

#include <QDate>
#include <QTime>

#include <array>
#include <random>
#include <vector>

namespace vellaro::bench {

namespace {

constexpr std::array kPeople{
    u"Мария",   u"Иван",    u"Георги",     u"Елена",         u"Димитър", u"Петя",
    u"Николай", u"Гергана", u"баба Цвета", u"дядо Петко",    u"мама",    u"татко",
    u"Стоянка", u"Тодор",   u"Веселина",   u"Христо Иванов", u"Ани",     u"Крум",
    u"Радост",  u"Милена",  u"д-р Петров", u"адвоката",      u"шефа",    u"съседите",
    u"Бистра",  u"Любомир", u"Катерина",   u"инж. Стефанов", u"Йордан",  u"Десислава",
};

constexpr std::array kTemplates{
    u"Рожден ден на ", u"Имен ден на ",         u"Среща с ",
    u"Обади се на ",   u"Подарък за ",          u"Писмо до ",
    u"Вечеря с ",      u"Да върна книгата на ", u"Поздрав за ",
};

constexpr std::array kChores{
    u"Плащане на тока",
    u"Плащане на водата",
    u"Данък сгради",
    u"Винетка",
    u"Застраховка на колата",
    u"Годишен преглед на колата",
    u"Смяна на гумите",
    u"Час при зъболекаря",
    u"Профилактичен преглед",
    u"Лекарство – сутрин",
    u"Лекарство – вечер",
    u"Събрание на етажната собственост",
    u"Родителска среща",
    u"Презентация",
    u"Отчет за тримесечието",
    u"Полет до Варна",
    u"Влак за Пловдив",
    u"Билети за театъра",
    u"Абонамент за фитнеса",
    u"Подновяване на паспорта",
    u"Backup на лаптопа",
    u"Обяд",
    u"Полей цветята",
    u"Изнеси боклука",
    u"Вземи детето от училище",
    u"Фризьор",
    u"Кино",
};

constexpr std::array kNotes{
    u"Да не забравя подаръка.",
    u"Купи торта от сладкарницата на ъгъла.",
    u"Номерът е в телефона.",
    u"Сума по фактурата: 84,30 лв.",
    u"Срокът изтича в края на месеца, иначе ще има глоба.",
    u"Първи етаж, кабинет 12.",
    u"Вземи документите и личната карта.",
    u"Може и по-рано, ако свърша навреме.",
    u"Паролата е в тефтера.",
    u"Ул. „Граф Игнатиев“ 15, вход Б.",
    u"Да се обадя предварително, за да потвърдя.",
    u"Заедно с Иван.",
    u"Перон 3.",
    u"http://example.org/reservation?id=4711",
};

QString pick(const auto &list, std::mt19937 &random)
{
    const auto &text = list[random() % list.size()];
    return QString::fromUtf16(text, qsizetype(std::char_traits<char16_t>::length(text)));
}

} // namespace

ReminderEntries realisticEntries(int count)
{
    const LocaleFormats formats = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
    // Dates over four years around now; their texts are made once, like the program makes them.
    const QDate firstDay(2024, 1, 1);
    constexpr int kDays = 4 * 365;
    std::vector<QString> dateTexts;
    dateTexts.reserve(kDays);
    for (int d = 0; d < kDays; ++d)
        dateTexts.push_back(formats.dateText(firstDay.addDays(d)));

    std::mt19937 random(20261209);
    ReminderEntries entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString name;
        switch (random() % 4) {
        case 0:
        case 1:
            name = pick(kTemplates, random) + pick(kPeople, random);
            break;
        case 2:
            name = pick(kChores, random);
            break;
        default:
            name = pick(kChores, random) + QStringLiteral(" ") + pick(kPeople, random);
            break;
        }
        // Long lists repeat themselves; a number or a year tells similar rows apart.
        if (random() % 3 == 0)
            name += QStringLiteral(" (%1)").arg(random() % 1000);
        else if (random() % 4 == 0)
            name += QStringLiteral(" %1").arg(2024 + random() % 4);

        QString notes;
        for (unsigned n = random() % 4; n > 0; --n) {
            if (!notes.isEmpty())
                notes += u' ';
            notes += pick(kNotes, random);
        }

        // Times on the quarter hour are common, any second is possible.
        int second = int(random() % 86400);
        if (random() % 2 == 0)
            second -= second % 900;
        QString dateText = dateTexts[random() % kDays];
        // Copies, so no two rows share their texts, as after reading the file.
        dateText.detach();
        entries.append({std::move(name),
                        {std::move(dateText), formats.timeText(QTime(0, 0).addSecs(second)),
                         std::move(notes)}});
    }
    return entries;
}

} // namespace vellaro::bench
