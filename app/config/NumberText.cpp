#include "app/config/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Checks the grammar of the rule and returns the same text in the form std::from_chars reads
// ('.' as separator, no blanks, no leading '+').
std::optional<std::string> canonicalNumber(QStringView text) {
    const QStringView t = text.trimmed();
    std::string out;
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        if (t[i] == u'-') out += '-';
        ++i;
    }
    int digits = 0;
    bool separator = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (isDigit(c)) {
            out += char(c.unicode());
            ++digits;
        } else if ((c == u',' || c == u'.') && !separator) {
            separator = true;
            out += '.';
        } else {
            break;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        out += 'e';
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
            if (t[i] == u'-') out += '-';
            ++i;
        }
        int expDigits = 0;
        for (; i < t.size() && isDigit(t[i]); ++i, ++expDigits) out += char(t[i].unicode());
        if (expDigits == 0) return std::nullopt;
    }
    if (i != t.size()) return std::nullopt;
    return out;
}

}  // namespace

std::optional<double> parseNumber(QStringView text) {
    const auto canonical = canonicalNumber(text);
    if (!canonical) return std::nullopt;
    double value = 0;
    const char* first = canonical->data();
    const char* last = first + canonical->size();
    const auto [end, error] = std::from_chars(first, last, value);
    // Values beyond the range of a double (1e999, 1e-999) are not numbers a user means.
    if (end != last || error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> parseWholeNumber(QStringView text) {
    const auto value = parseNumber(text);
    if (!value) return std::nullopt;
    return toInt32(*value);
}

double roundHalfEven(double value) {
    // nearbyint rounds in the current mode, which is to-nearest-even unless someone changed it.
    return std::nearbyint(value);
}

std::optional<int> toInt32(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double rounded = roundHalfEven(value);
    if (rounded < double(std::numeric_limits<int>::min()) ||
        rounded > double(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    return int(rounded);
}

double roundUp(double value) {
    double rounded = roundHalfEven(value);
    if (rounded < value) rounded += 1;
    return rounded;
}

QString formatGeneral(double value) {
    // A message never shows "nan" or "inf": callers refuse such values before they are shown.
    if (std::isnan(value)) return QStringLiteral("(не число)");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("∞") : QStringLiteral("-∞");
    QString text = QString::number(value, 'g', 15);
    text.replace(u'.', u',');
    return text;
}
