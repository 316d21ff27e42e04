// Builds without cairo (the Windows cross build): no plot.
#include <stdexcept>

#include "plot.h"

namespace zor_measure {

bool plot_available() { return false; }

void draw_plot(const measurement_t&, const std::string&, const std::string&, const std::string&,
               const std::vector<std::string>&) {
    throw std::runtime_error("plotting is not built in (cairo was not found when this program was built)");
}

}  // namespace zor_measure
