#pragma once
// A local date and time as the system's clock gives it, down to the millisecond.

struct TLocalTime {
    int year, month, day, hour, minute, second, millisecond;
};
