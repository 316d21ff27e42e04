#include "volume.h"

namespace zorsim {

const char* const root_path = "/";
const char* const home_path = "/USER";

namespace {

constexpr std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
constexpr std::int64_t clock_start = days_from_civil(2024, 5, 17) * 86400 + 9 * 3600 + 3 * 60;

}  // namespace

civil_time_t civil_time(std::int64_t t) {
    std::int64_t days = t / 86400;
    std::int64_t rest = t % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    return {y, m, d, static_cast<unsigned>(rest / 3600), static_cast<unsigned>(rest / 60 % 60),
            static_cast<unsigned>(rest % 60)};
}

std::string path_key(std::string path) {
    for (char& c : path)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return path;
}

volume_t::volume_t() : clock(clock_start) {
    add_folder(root_path);
    add_folder(home_path);
}

void volume_t::add_folder(const std::string& path) {
    volume_node_t n;
    n.path = path;
    n.folder = true;
    n.stamp = clock++;
    nodes[path_key(path)] = std::move(n);
}

}  // namespace zorsim
