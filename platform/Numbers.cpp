#include "platform/Numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace platform {
namespace {

std::string_view Trim(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.front() == '\r' || t.front() == '\n'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r' || t.back() == '\n'))
        t.remove_suffix(1);
    return t;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
    if (decimals < 0)
        decimals = 0;
    if (decimals > 30)
        decimals = 30;
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return "0";
    return std::string(buf, r.ptr);
}

std::string FormatDouble(double value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    if (r.ec != std::errc())
        return "0";
    return std::string(buf, r.ptr);
}

std::string FormatInt(long long value) { return std::to_string(value); }

std::optional<double> ParseDouble(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    double v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<long long> ParseInt(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    long long v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return v;
}

double LeadingDouble(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n'))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v))
        return 0.0;
    return v;
}

long long LeadingInt(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n'))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    long long v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc())
        return 0;
    return v;
}

}  // namespace platform
