#include "zemrunSchedule.h"

#include "../foundation/vxArguments.h"
#include "../foundation/vxCommandLine.h"
#include "../foundation/vxFileUtils.h"
#include "../foundation/vxStrUtils.h"

#include <array>
#include <cstdio>
#include <vector>

namespace {
// The days in the order of the bits, as the forms and the task XML name them.
constexpr std::array<std::string_view, 7> DayForms = {"MON", "TUE", "WED", "THU",
                                                      "FRI", "SAT", "SUN"};
constexpr std::array<std::string_view, 7> DayElements = {
    "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// "HH:MM" from 00:00 to 23:59; one digit of hours allowed.
bool ReadTime(std::string_view text, TSchedule& schedule) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3)
        return false;
    const std::string_view hours = text.substr(0, colon), minutes = text.substr(colon + 1);
    if (!IsDigits(hours) || !IsDigits(minutes)) return false;
    schedule.hour = ReadInteger(hours);
    schedule.minute = ReadInteger(minutes);
    return schedule.hour < 24 && schedule.minute < 60;
}

// "MON,FRI": each day once at most, at least one.
bool ReadDays(std::string_view text, uint8_t& days) {
    days = 0;
    for (size_t from = 0; from <= text.size();) {
        size_t comma = text.find(',', from);
        if (comma == std::string_view::npos) comma = text.size();
        const std::string_view day = text.substr(from, comma - from);
        size_t index = 0;
        while (index < DayForms.size() && DayForms[index] != day)
            ++index;
        if (index == DayForms.size() || (days & (1u << index))) return false;
        days = uint8_t(days | (1u << index));
        from = comma + 1;
    }
    return days != 0;
}

std::string TwoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string XmlEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string XmlUnescaped(std::string_view text) {
    constexpr std::pair<std::string_view, char> Entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        bool replaced = false;
        for (const auto& [entity, c] : Entities)
            if (text.substr(pos, entity.size()) == entity) {
                out += c;
                pos += entity.size();
                replaced = true;
                break;
            }
        if (!replaced) out += text[pos++];
    }
    return out;
}

int DaysInMonth(int year, int month) {
    constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : Days[month - 1];
}

TLocalTime NextDay(TLocalTime time) {
    if (++time.day > DaysInMonth(time.year, time.month)) {
        time.day = 1;
        if (++time.month > 12) {
            time.month = 1;
            ++time.year;
        }
    }
    return time;
}

// The first time of the day at hour:minute after now: today's, or tomorrow's.
TLocalTime NextAt(TLocalTime now, int hour, int minute) {
    const bool later = hour > now.hour || (hour == now.hour && minute > now.minute);
    TLocalTime at = later ? now : NextDay(now);
    at.hour = hour;
    at.minute = minute;
    at.second = at.millisecond = 0;
    return at;
}

TLocalTime HoursLater(TLocalTime time, int hours) {
    for (time.hour += hours; time.hour >= 24; time.hour -= 24)
        time = NextDay(time);
    return time;
}

std::string Boundary(const TLocalTime& time) {
    return "<StartBoundary>" + std::to_string(time.year) + "-" + TwoDigits(time.month) + "-" +
           TwoDigits(time.day) + "T" + TwoDigits(time.hour) + ":" + TwoDigits(time.minute) +
           ":00</StartBoundary>";
}

std::string TriggerXml(const TSchedule& schedule, const std::string& user, const TLocalTime& now) {
    switch (schedule.kind) {
    case TSchedule::Daily:
        return "<CalendarTrigger>" + Boundary(NextAt(now, schedule.hour, schedule.minute)) +
               "<ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger>";
    case TSchedule::Weekly: {
        std::string days;
        for (size_t day = 0; day < DayElements.size(); ++day)
            if (schedule.days & (1u << day)) {
                days += '<';
                days += DayElements[day];
                days += "/>";
            }
        return "<CalendarTrigger>" + Boundary(NextAt(now, schedule.hour, schedule.minute)) +
               "<ScheduleByWeek><DaysOfWeek>" + days +
               "</DaysOfWeek><WeeksInterval>1</WeeksInterval></ScheduleByWeek></CalendarTrigger>";
    }
    case TSchedule::Hourly:
        // The first start after that many hours.
        return "<TimeTrigger><Repetition><Interval>PT" + std::to_string(schedule.hours) +
               "H</Interval></Repetition>" + Boundary(HoursLater(now, schedule.hours)) +
               "</TimeTrigger>";
    case TSchedule::Logon:
        return "<LogonTrigger><UserId>" + XmlEscaped(user) + "</UserId></LogonTrigger>";
    default:
        return {};
    }
}

// The text of the first element of that name, from its start tag on: empty where there is
// none; found tells whether there is.
std::string_view Element(std::string_view xml, std::string_view name, bool* found = nullptr) {
    std::string open = "<";
    open += name;
    for (size_t at = xml.find(open); at != std::string_view::npos; at = xml.find(open, at + 1)) {
        const size_t after = at + open.size();
        if (after >= xml.size() || (xml[after] != '>' && xml[after] != ' ' && xml[after] != '/'))
            continue;
        if (found) *found = true;
        const size_t body = xml.find('>', after);
        if (body == std::string_view::npos || xml[body - 1] == '/') return {};
        std::string end = "</";
        end += name;
        const size_t close = xml.find(end, body);
        return xml.substr(body + 1, close == std::string_view::npos ? 0 : close - body - 1);
    }
    if (found) *found = false;
    return {};
}

bool Holds(std::string_view xml, std::string_view name) {
    bool found = false;
    Element(xml, name, &found);
    return found;
}

void ReadBoundaryTime(std::string_view trigger, TSchedule& schedule) {
    const std::string_view boundary = Element(trigger, "StartBoundary");
    const size_t t = boundary.find('T');
    if (t == std::string_view::npos || boundary.size() < t + 6) return;
    schedule.hour = ReadInteger(boundary.substr(t + 1, 2));
    schedule.minute = ReadInteger(boundary.substr(t + 4, 2));
}
} // namespace

std::optional<TSchedule> ReadSchedule(std::string_view text) {
    const std::string form = AnsiUpperCase(Trim(text));
    TSchedule schedule;
    if (form == "OFF") return schedule;
    if (form == "LOGON") {
        schedule.kind = TSchedule::Logon;
        return schedule;
    }
    if (form.rfind("DAILY@", 0) == 0) {
        schedule.kind = TSchedule::Daily;
        if (ReadTime(std::string_view(form).substr(6), schedule)) return schedule;
        return std::nullopt;
    }
    if (form.rfind("WEEKLY:", 0) == 0) {
        const size_t at = form.find('@');
        schedule.kind = TSchedule::Weekly;
        if (at != std::string::npos &&
            ReadDays(std::string_view(form).substr(7, at - 7), schedule.days) &&
            ReadTime(std::string_view(form).substr(at + 1), schedule))
            return schedule;
        return std::nullopt;
    }
    if (form.rfind("HOURLY:", 0) == 0) {
        const std::string hours = form.substr(7);
        schedule.kind = TSchedule::Hourly;
        schedule.hours = IsDigits(hours) && hours.size() <= 4 ? ReadInteger(hours) : 0;
        if (schedule.hours >= 1 && schedule.hours <= MaxScheduleHours) return schedule;
    }
    return std::nullopt;
}

std::string ScheduleText(const TSchedule& schedule) {
    const std::string time = TwoDigits(schedule.hour) + ":" + TwoDigits(schedule.minute);
    switch (schedule.kind) {
    case TSchedule::Daily:
        return "daily@" + time;
    case TSchedule::Weekly: {
        std::string days;
        for (size_t day = 0; day < DayForms.size(); ++day)
            if (schedule.days & (1u << day)) {
                if (!days.empty()) days += ',';
                for (const char c : DayForms[day])
                    days += char(c - 'A' + 'a');
            }
        return "weekly:" + days + "@" + time;
    }
    case TSchedule::Hourly:
        return "hourly:" + std::to_string(schedule.hours);
    case TSchedule::Logon:
        return "logon";
    case TSchedule::Other:
        return "other";
    default:
        return "off";
    }
}

std::string TaskProgram(const std::string& program) {
    if (AnsiUpperCase(PathExtension(program)) != ".COM") return program;
    return program.substr(0, program.size() - 4) + ".exe";
}

std::string TaskName(const std::string& project) {
    return SafeFileName(project);
}

TNameInTask NameInTask(std::string_view project) {
    if (project.find('"') != std::string_view::npos) return TNameInTask::HoldsQuote;
    const size_t percent = project.find('%');
    if (percent != std::string_view::npos &&
        project.find('%', percent + 1) != std::string_view::npos)
        return TNameInTask::HoldsVariable;
    return TNameInTask::Passes;
}

std::string TaskArguments(const std::string& project) {
    return ProgramArgument("/J:" + project) + " /H";
}

std::string TaskXml(const std::string& project, const std::string& program,
                    const TSchedule& schedule, const std::string& user, const TLocalTime& now) {
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
           "<RegistrationInfo><Description>" +
           XmlEscaped("Zemrun: " + project) +
           "</Description></RegistrationInfo>"
           "<Triggers>" +
           TriggerXml(schedule, user, now) +
           "</Triggers>"
           "<Principals><Principal id=\"Author\"><LogonType>InteractiveToken</LogonType>"
           "<RunLevel>LeastPrivilege</RunLevel></Principal></Principals>"
           "<Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
           "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
           "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
           "<StartWhenAvailable>true</StartWhenAvailable>"
           "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Enabled>true</Enabled></Settings>"
           "<Actions Context=\"Author\"><Exec><Command>" +
           XmlEscaped(program) + "</Command><Arguments>" + XmlEscaped(TaskArguments(project)) +
           "</Arguments></Exec></Actions></Task>\r\n";
}

TSchedule ScheduleOfTaskXml(std::string_view xml, std::string* project) {
    if (project) {
        const std::vector<std::string> arguments =
            SplitArguments(XmlUnescaped(Element(Element(xml, "Exec"), "Arguments")));
        project->clear();
        if (!arguments.empty() && arguments[0].rfind("/J:", 0) == 0)
            *project = arguments[0].substr(3);
    }
    TSchedule schedule;
    schedule.kind = TSchedule::Other;
    const std::string_view triggers = Element(xml, "Triggers");
    if (Holds(triggers, "LogonTrigger")) {
        schedule.kind = TSchedule::Logon;
    } else if (const std::string_view time = Element(triggers, "TimeTrigger"); !time.empty()) {
        const std::string_view interval = Element(time, "Interval");
        if (interval.size() > 3 && interval.substr(0, 2) == "PT" && interval.back() == 'H') {
            schedule.kind = TSchedule::Hourly;
            schedule.hours = ReadInteger(interval.substr(2));
        }
    } else if (const std::string_view calendar = Element(triggers, "CalendarTrigger");
               !calendar.empty()) {
        ReadBoundaryTime(calendar, schedule);
        if (Holds(calendar, "ScheduleByDay")) schedule.kind = TSchedule::Daily;
        const std::string_view week = Element(calendar, "DaysOfWeek");
        for (size_t day = 0; day < DayElements.size(); ++day)
            if (Holds(week, DayElements[day])) schedule.days = uint8_t(schedule.days | (1u << day));
        if (schedule.days) schedule.kind = TSchedule::Weekly;
    }
    return schedule;
}
