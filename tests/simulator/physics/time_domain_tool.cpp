// Test helper: the band-pass impulse of frequency data, for checks against
// other tools. Reads "beta start stop points" and then "frequency re im"
// lines on stdin; writes "re im" per instant.
#include <cstdio>
#include <iostream>
#include <vector>

#include <simulator/physics/time_domain.h>

int main() {
    using namespace zorsim::physics;
    double beta = 0, start = 0, stop = 0;
    std::size_t points = 0;
    if (!(std::cin >> beta >> start >> stop >> points) || points == 0 || points > 1000000) return 2;
    std::vector<double> frequency;
    std::vector<complex_t> data;
    double f = 0, re = 0, im = 0;
    while (std::cin >> f >> re >> im) {
        frequency.push_back(f);
        data.emplace_back(re, im);
    }
    for (const complex_t& value : transform(transform_t::band_pass_impulse, frequency, data, beta, start, stop, points))
        std::printf("%.17g %.17g\n", value.real(), value.imag());
    return 0;
}
