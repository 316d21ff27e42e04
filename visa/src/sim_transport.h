// An in-process simulated analyzer as a VISA resource. Each session is its
// own connection with its own queue of replies.
#pragma once

#include <memory>
#include <string>

#include "transport.h"

namespace zorvisa {

std::unique_ptr<transport_t> open_sim_transport(const std::string& analyzer_name);

}  // namespace zorvisa
