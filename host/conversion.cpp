// Conversion codes of the reference host: dates, masked decimals, case.
#include "host/conversion.h"

#include <cstdint>
#include <cstdio>

#include "qvxml.h"

namespace qvhost {
namespace {

// ---- Dates ---------------------------------------------------------------------------

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = std::int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

const std::int64_t kDayZero = daysFromCivil(1967, 12, 31);
const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

bool isLeap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
unsigned daysIn(std::int64_t y, unsigned m) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

struct DateFormat {
    char separator = ' ';
    bool named = false;       // no separator: "DD MMM YYYY"
    char order[3] = {'M', 'D', 'Y'};
    int width[3] = {2, 2, 4}; // per part, in `order`
};

bool parseDateCode(const std::string& code, DateFormat& f) {
    std::size_t i = 1;  // code[0] == 'D'
    int yearDigits = 4;
    if (i < code.size() && isDigit(code[i])) {
        yearDigits = code[i++] - '0';
        if (yearDigits != 2 && yearDigits != 4) return false;
    }
    if (i < code.size() && !isLetter(code[i]) && !isDigit(code[i]) && code[i] != '[') {
        f.separator = code[i++];
    } else {
        f.named = true;
        f.order[0] = 'D', f.order[1] = 'M', f.order[2] = 'Y';
    }
    if (i < code.size() && isLetter(code[i])) {
        if (i + 3 > code.size()) return false;
        bool seen[3] = {false, false, false};
        for (int k = 0; k < 3; ++k) {
            const char c = upper(code[i + std::size_t(k)]);
            const int which = c == 'Y' ? 0 : c == 'M' ? 1 : c == 'D' ? 2 : -1;
            if (which < 0 || seen[which]) return false;
            seen[which] = true;
            f.order[k] = c;
        }
        i += 3;
    }
    for (int k = 0; k < 3; ++k)
        f.width[k] = f.order[k] == 'Y' ? yearDigits : f.order[k] == 'M' && f.named ? 3 : 2;
    if (i < code.size() && code[i] == '[') {
        ++i;
        for (int k = 0; k < 3; ++k) {
            if (i >= code.size() || !isDigit(code[i])) return false;
            int w = 0;
            while (i < code.size() && isDigit(code[i]) && w < 100) w = w * 10 + (code[i++] - '0');
            if (f.order[k] == 'Y' && w != 2 && w != 4) return false;
            if (w < 1 || w > 9) return false;
            f.width[k] = w;
            const char expect = k < 2 ? ',' : ']';
            if (i >= code.size() || code[i++] != expect) return false;
        }
    }
    return i == code.size();
}

bool parseInteger(const std::string& s, std::int64_t& out, std::size_t maxDigits = 12) {
    std::size_t i = 0;
    const bool negative = !s.empty() && (s[0] == '-' || s[0] == '+');
    if (negative) ++i;
    if (i == s.size() || s.size() - i > maxDigits) return false;
    std::int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (!isDigit(s[i])) return false;
        v = v * 10 + (s[i] - '0');
    }
    out = s[0] == '-' ? -v : v;
    return true;
}

bool dateToExternal(const std::string& input, const DateFormat& f, std::string& out) {
    std::int64_t day = 0;
    if (!parseInteger(input, day, 9)) return false;
    std::int64_t y;
    unsigned m, d;
    civilFromDays(day + kDayZero, y, m, d);
    if (y < 1 || y > 9999) return false;
    out.clear();
    char buf[16];
    for (int k = 0; k < 3; ++k) {
        if (k > 0) out += f.separator;
        const int w = f.width[k];
        switch (f.order[k]) {
        case 'Y':
            std::snprintf(buf, sizeof buf, "%0*d", w, int(w == 2 ? y % 100 : y));
            break;
        case 'M':
            if (w >= 3)
                std::snprintf(buf, sizeof buf, "%s", kMonths[m - 1]);
            else
                std::snprintf(buf, sizeof buf, "%0*u", w, m);
            break;
        default:
            std::snprintf(buf, sizeof buf, "%0*u", w, d);
        }
        out += buf;
    }
    return true;
}

bool dateToInternal(const std::string& input, const DateFormat& f, std::string& out) {
    std::string parts[3];
    int k = 0;
    for (char c : input) {
        if (c == f.separator) {
            if (++k > 2) return false;
        } else {
            parts[k] += c;
        }
    }
    if (k != 2) return false;
    std::int64_t y = -1, m = -1, d = -1;
    for (int i = 0; i < 3; ++i) {
        const std::string& p = parts[i];
        std::int64_t v = 0;
        if (f.order[i] == 'M' && !p.empty() && isLetter(p[0])) {
            for (int n = 0; n < 12; ++n)
                if (p.size() == 3 && upper(p[0]) == kMonths[n][0] && upper(p[1]) == kMonths[n][1] &&
                    upper(p[2]) == kMonths[n][2])
                    v = n + 1;
            if (v == 0) return false;
        } else if (p.empty() || p[0] == '-' || p[0] == '+' || !parseInteger(p, v, 4)) {
            return false;
        }
        if (f.order[i] == 'Y') {
            y = p.size() <= 2 ? (v < 30 ? 2000 + v : 1900 + v) : v;
        } else if (f.order[i] == 'M') {
            m = v;
        } else {
            d = v;
        }
    }
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > daysIn(y, unsigned(m))) return false;
    out = std::to_string(daysFromCivil(y, unsigned(m), unsigned(d)) - kDayZero);
    return true;
}

// ---- Masked decimals -------------------------------------------------------------------

std::string stripZeros(std::string digits) {
    const auto nz = digits.find_first_not_of('0');
    return nz == std::string::npos ? "0" : digits.substr(nz);
}

// "12.345" with 2 decimals -> "1235" (half away from zero).
bool decimalToInternal(const std::string& input, int decimals, std::string& out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < input.size() && (input[i] == '-' || input[i] == '+')) negative = input[i++] == '-';
    std::string whole, fraction;
    bool point = false;
    for (; i < input.size(); ++i) {
        const char c = input[i];
        if (c == '.' && !point) {
            point = true;
        } else if (isDigit(c)) {
            (point ? fraction : whole) += c;
        } else {
            return false;
        }
    }
    if (whole.empty() && fraction.empty()) return false;
    const bool roundUp = fraction.size() > std::size_t(decimals) && fraction[std::size_t(decimals)] >= '5';
    fraction.resize(std::size_t(decimals), '0');
    std::string digits = whole + fraction;
    if (digits.empty()) digits = "0";
    if (roundUp) {
        std::size_t k = digits.size();
        while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
        if (k == 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[k - 1];
    }
    digits = stripZeros(digits);
    out = (negative && digits != "0" ? "-" : "") + digits;
    return true;
}

// "1234" with 2 decimals -> "12.34".
bool decimalToExternal(const std::string& input, int decimals, std::string& out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < input.size() && (input[i] == '-' || input[i] == '+')) negative = input[i++] == '-';
    std::string digits = input.substr(i);
    if (digits.empty()) return false;
    for (char c : digits)
        if (!isDigit(c)) return false;
    digits = stripZeros(digits);
    if (digits.size() <= std::size_t(decimals))
        digits.insert(0, std::size_t(decimals) + 1 - digits.size(), '0');
    if (decimals > 0) digits.insert(digits.size() - std::size_t(decimals), ".");
    out = (negative && digits.find_first_not_of("0.") != std::string::npos ? "-" : "") + digits;
    return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return b == 0 && e == s.size() ? s : s.substr(b, e - b);
}

}  // namespace

bool knownConversion(const std::string& code) {
    std::string ignored;
    return code.empty() || convertValue("", code, QV_CONV_TO_RECORD, ignored);
}

bool convertField(const std::string& input, const std::string& code, int direction,
                  char valueMark, char subvalueMark, char nullMark, std::string& output,
                  const std::function<void(const std::string&, std::string&)>& refused) {
    output.clear();
    output.reserve(input.size());
    bool all = true;
    std::string piece, converted;
    std::size_t begin = 0;
    for (;;) {
        std::size_t end = begin;
        while (end < input.size() && input[end] != valueMark && input[end] != subvalueMark) ++end;
        piece.assign(input, begin, end - begin);
        if (piece.empty() || (piece.size() == 1 && piece[0] == nullMark)) {
            output += piece;
        } else if (convertValue(piece, code, direction, converted)) {
            output += converted;
        } else {
            all = false;
            if (refused)
                refused(piece, output);
            else
                output += piece;
        }
        if (end == input.size()) return all;
        output += input[end];
        begin = end + 1;
    }
}

bool convertValue(const std::string& rawInput, const std::string& code, int direction,
                  std::string& output) {
    const bool toRecord = direction == QV_CONV_TO_RECORD;
    const bool numeric = (!code.empty() && code[0] == 'D') || code.compare(0, 2, "MD") == 0;
    const std::string input = numeric ? trimmed(rawInput) : rawInput;
    if (code == "MCU" || code == "MCL") {
        output = input;
        for (char& c : output)
            c = code == "MCU" ? upper(c) : ((c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c);
        return true;
    }
    if (code.size() >= 2 && code[0] == 'M' && code[1] == 'D') {
        int decimals = 0;
        if (code.size() == 3 && isDigit(code[2]))
            decimals = code[2] - '0';
        else if (code.size() != 2)
            return false;
        if (input.empty()) return output.clear(), true;
        return toRecord ? decimalToInternal(input, decimals, output)
                        : decimalToExternal(input, decimals, output);
    }
    if (!code.empty() && code[0] == 'D') {
        DateFormat f;
        if (!parseDateCode(code, f)) return false;
        if (input.empty()) return output.clear(), true;
        return toRecord ? dateToInternal(input, f, output) : dateToExternal(input, f, output);
    }
    return false;
}

}  // namespace qvhost
