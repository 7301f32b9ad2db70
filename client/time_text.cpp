#include "client/time_text.h"

namespace era {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool IsLeap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(int64_t year, unsigned month) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Reads count digits at pos into value; false when they are not all digits.
bool Digits(std::string_view text, size_t pos, size_t count, unsigned& value) {
    if (pos + count > text.size()) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        char c = text[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

bool Combine(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
             int64_t offsetSeconds, uint32_t& seconds) {
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 60)
        return false;
    int64_t total = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds;
    if (total < 0 || total > 0xFFFFFFFFll) return false;
    seconds = static_cast<uint32_t>(total);
    return true;
}

} // namespace

bool ParseGeneralizedTime(std::string_view text, uint32_t& seconds) {
    seconds = 0;
    unsigned year, month, day, hour, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || !Digits(text, 4, 2, month) || !Digits(text, 6, 2, day) ||
        !Digits(text, 8, 2, hour))
        return false;
    size_t pos = 10;
    if (Digits(text, pos, 2, minute)) {
        pos += 2;
        if (Digits(text, pos, 2, second)) pos += 2;
    }
    if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
        ++pos;
        size_t start = pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
        if (pos == start) return false;
    }
    int64_t offset = 0;
    if (pos < text.size() && text[pos] == 'Z') {
        ++pos;
    } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        unsigned offHours, offMinutes = 0;
        bool negative = text[pos] == '-';
        if (!Digits(text, pos + 1, 2, offHours)) return false;
        pos += 3;
        if (Digits(text, pos, 2, offMinutes)) pos += 2;
        if (offHours > 23 || offMinutes > 59) return false;
        offset = (offHours * 3600 + offMinutes * 60) * (negative ? -1 : 1);
    } else {
        return false;   // a time without a zone is local somewhere; the file must say where
    }
    if (pos != text.size()) return false;
    return Combine(year, month, day, hour, minute, second, offset, seconds);
}

bool ParseIsoTime(std::string_view text, uint32_t& seconds) {
    seconds = 0;
    unsigned year, month, day, hour, minute, second;
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != 't') ||
        text[13] != ':' || text[16] != ':' || (text[19] != 'Z' && text[19] != 'z'))
        return false;
    if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
        !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) || !Digits(text, 17, 2, second))
        return false;
    return Combine(year, month, day, hour, minute, second, 0, seconds);
}

} // namespace era
