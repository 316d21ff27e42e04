// The instrument's own files: a small in-memory volume of folders and
// files holding any bytes, each stamped with the date and time of its last
// change, and the setups its state files refer to. Like a real
// instrument's disk it outlives *RST and presets; a power-on empties it.
#pragma once

#include "setup.h"

#include <simulator/scpi/table.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace zorsim {

// Bounds that keep a client from growing the simulator without limit.
constexpr std::size_t max_volume_bytes = 64u << 20;
constexpr std::size_t max_volume_nodes = 4096;
constexpr std::size_t max_path_length = 260;
constexpr std::size_t max_state_files = 64;

extern const char* const root_path;  // "/"
extern const char* const home_path;  // "/USER"

// Paths compare without regard to case: the volume's keys are upper case.
std::string path_key(std::string path);

struct volume_node_t {
    std::string path;  // as created, e.g. "/USER/Setup1.sta"
    bool folder = false;
    std::string bytes;
    std::int64_t stamp = 0;  // seconds since 1970-01-01
};

// What a state file refers to: the settings and the setup when it was stored.
struct stored_state_t {
    scpi::settings_store_t settings;
    setup_t setup;
};

struct volume_t {
    std::map<std::string, volume_node_t> nodes;  // by path_key
    std::string current = path_key(home_path);    // key of the current folder
    // The volume's clock starts at a fixed instant and ticks one second per
    // change, so a test can predict every stamp.
    std::int64_t clock;
    std::size_t used_bytes = 0;
    std::map<std::int64_t, stored_state_t> states;  // by the number a state file holds
    std::int64_t next_state = 1;

    volume_t();
    void add_folder(const std::string& path);
};

struct civil_time_t {
    std::int64_t year;
    unsigned month, day, hour, minute, second;
};
civil_time_t civil_time(std::int64_t seconds_since_1970);

}  // namespace zorsim
