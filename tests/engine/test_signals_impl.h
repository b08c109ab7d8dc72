#include <cmath>
#include <numbers>

namespace test {

template <class Step>
double response_db(Step step, double freq, double rate, double amplitude)
{
    const int settle_frames = static_cast<int>(rate);  // one second
    const int measure_frames = static_cast<int>(rate / 2);
    double peak = 0.0;
    for (int n = 0; n < settle_frames + measure_frames; ++n) {
        const double x = amplitude * std::sin(2.0 * std::numbers::pi * freq * n / rate);
        const double y = step(static_cast<float>(x));
        if (n >= settle_frames)
            peak = std::max(peak, std::fabs(y));
    }
    return 20.0 * std::log10(peak / amplitude);
}

}  // namespace test
