#include "platform/numbers.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>

namespace platform {

long long roundEven(double v) {
    if (!std::isfinite(v))
        return 0;
    const double r = std::nearbyint(v);  // the default rounding mode: to nearest, ties to even
    if (r > 9.0e18)
        return 9000000000000000000LL;
    if (r < -9.0e18)
        return -9000000000000000000LL;
    return (long long)r;
}

int roundEvenInt(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= double(INT_MAX))
        return INT_MAX;
    if (v <= double(INT_MIN))
        return INT_MIN;
    return int(std::nearbyint(v));
}

double leadingNumber(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n' ||
                     text[i] == u'\u3000'))
        ++i;
    auto isDigit = [&](qsizetype k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    std::string number;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            number += '-';
        ++i;
    }
    bool digits = false;
    for (; isDigit(i); ++i, digits = true)
        number += char(text[i].unicode());
    if (i < n && text[i] == u'.') {
        number += '.';
        for (++i; isDigit(i); ++i, digits = true)
            number += char(text[i].unicode());
    }
    if (!digits)
        return 0.0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype k = i + 1;
        std::string exponent = "e";
        if (k < n && (text[k] == u'+' || text[k] == u'-'))
            exponent += char(text[k++].unicode());
        if (isDigit(k)) {
            for (; isDigit(k); ++k)
                exponent += char(text[k].unicode());
            number += exponent;
        }
    }
    double result = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), result);
    (void)end;
    if (ec != std::errc() || !std::isfinite(result))
        return 0.0;  // too small rounds to zero; too large has no value to give
    return result;
}

}  // namespace platform
