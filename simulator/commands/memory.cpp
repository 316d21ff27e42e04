// MMEMory: the instrument's own files and folders.
//
// Each instrument has a small in-memory volume: folders, a current folder,
// files holding any bytes with the date and time of their last change. Paths
// take '/' or '\' as separator; a path starting with one is absolute, any
// other is relative to the current folder; names compare without regard to
// case but keep the case they were created with.
//
// State files (STATe, CORRection, CSAR) hold a reference to a snapshot of
// the instrument's setup kept with the volume; limit and ripple-limit files
// hold the active trace's table or ripple settings as text; screen dumps are
// small bitmaps.
#include "commands.h"
#include "display/snapshot.h"
#include "instrument.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zorsim {

using scpi::context_t;
using scpi::scpi_error;

namespace {

// Bounds that keep a client from growing the simulator without limit.
constexpr std::size_t max_volume_bytes = 64u << 20;
constexpr std::size_t max_nodes = 4096;
constexpr std::size_t max_path_length = 260;
constexpr std::size_t max_snapshots = 64;

const char* const root_path = "/";
const char* const home_path = "/USER";

// Seconds since 1970-01-01. The volume's clock starts at a fixed instant and
// ticks one second per change, so a test can predict every stamp.
constexpr std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
constexpr std::int64_t clock_start = days_from_civil(2024, 5, 17) * 86400 + 9 * 3600 + 3 * 60;

struct civil_t {
    std::int64_t year;
    unsigned month, day, hour, minute, second;
};

civil_t civil_from_seconds(std::int64_t t) {
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

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

struct node_t {
    std::string path;  // as created, e.g. "/USER/Setup1.sta"
    bool folder = false;
    std::string bytes;
    std::int64_t stamp = 0;
};

struct snapshot_t {
    scpi::settings_store_t settings;
    layout_t layout;
    std::map<std::pair<int, int>, std::string> limit_tables;
};

struct volume_t {
    std::int64_t token = 0;
    std::map<std::string, node_t> nodes;  // by upper-case path
    std::string current = home_path;      // key of the current folder
    std::int64_t clock = clock_start;
    std::size_t used_bytes = 0;
    std::map<std::int64_t, snapshot_t> snapshots;
    std::int64_t next_snapshot = 1;

    volume_t() {
        add_folder(root_path);
        add_folder(home_path);
    }
    void add_folder(const std::string& path) {
        node_t n;
        n.path = path;
        n.folder = true;
        n.stamp = clock++;
        nodes[upper(path)] = std::move(n);
    }
};

// The volume lives beside the instrument: a setting no SCPI header can reach
// (a node cannot start with a digit) carries a token. The token is kept over
// *RST and presets, like a real instrument keeps its files; power-on clears
// it and so gives a fresh volume, and an instrument built where a dead one
// lived never inherits its files.
const char* const token_key = ":MMEMory:0VOLume";

struct volumes_t {
    std::mutex mutex;
    std::map<const void*, std::unique_ptr<volume_t>> by_instrument;
    std::int64_t next_token = 1;
};

volumes_t& volumes() {
    static volumes_t* all = new volumes_t;  // outlives every analyzer
    return *all;
}

// The handlers of one instrument run one at a time (the analyzer serializes
// them), so the volume returned may be used without the map's lock.
volume_t& volume_of(context_t& ctx) {
    instrument_t& inst = instrument_of(ctx);
    const std::int64_t token = inst.settings().integer(token_key);
    volumes_t& all = volumes();
    std::lock_guard<std::mutex> lock(all.mutex);
    auto& slot = all.by_instrument[&inst];
    if (!slot || token == 0 || slot->token != token) {
        slot = std::make_unique<volume_t>();
        slot->token = all.next_token++;
        inst.settings().set_value(token_key, {}, slot->token);
    }
    return *slot;
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

// The absolute path of `text` (relative to the current folder unless it
// starts with a separator), with "." and ".." resolved. Throws -257 for a
// name the volume cannot hold.
std::string absolute_path(const volume_t& volume, const std::string& text) {
    if (text.empty()) throw scpi_error(-257, "File name error;empty name");
    std::vector<std::string> parts;
    std::string base = is_separator(text[0]) ? std::string() : volume.nodes.at(volume.current).path;
    auto split_into = [&parts](const std::string& path) {
        std::string part;
        auto flush = [&]() {
            if (part.empty() || part == ".") {
            } else if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else {
                parts.push_back(part);
            }
            part.clear();
        };
        for (char c : path) {
            if (is_separator(c)) flush();
            else part += c;
        }
        flush();
    };
    split_into(base);
    split_into(text);
    std::string path;
    for (const std::string& part : parts) {
        for (char c : part) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (u < 0x20 || c == '"' || c == ':' || c == '*' || c == '?' || c == '<' || c == '>' || c == '|')
                throw scpi_error(-257, "File name error;invalid character");
        }
        path += '/';
        path += part;
    }
    if (path.empty()) path = root_path;
    if (path.size() > max_path_length) throw scpi_error(-257, "File name error;path too long");
    return path;
}

std::string parent_of(const std::string& path) {
    const std::size_t at = path.find_last_of('/');
    return at == 0 || at == std::string::npos ? std::string(root_path) : path.substr(0, at);
}

std::string name_of(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

bool inside(const std::string& key, const std::string& folder_key) {
    if (folder_key == root_path) return key != root_path;
    return key.size() > folder_key.size() && key.compare(0, folder_key.size(), folder_key) == 0 &&
           key[folder_key.size()] == '/';
}

node_t& existing(volume_t& volume, const std::string& path) {
    auto it = volume.nodes.find(upper(path));
    if (it == volume.nodes.end()) throw scpi_error(-256, "File name not found;" + path);
    return it->second;
}

node_t& existing_file(volume_t& volume, const std::string& path) {
    node_t& n = existing(volume, path);
    if (n.folder) throw scpi_error(-257, "File name error;folder, not file:" + path);
    return n;
}

node_t& existing_folder(volume_t& volume, const std::string& path) {
    node_t& n = existing(volume, path);
    if (!n.folder) throw scpi_error(-257, "File name error;file, not folder:" + path);
    return n;
}

// The display path of a new node: its existing parent's path plus its name.
std::string new_node_path(volume_t& volume, const std::string& path) {
    if (path == root_path) throw scpi_error(-257, "File name error;root");
    const node_t& parent = existing_folder(volume, parent_of(path));
    return (parent.path == root_path ? std::string() : parent.path) + "/" + name_of(path);
}

// Creates or replaces the file at `path` with `bytes`, stamped now.
void write_file(volume_t& volume, const std::string& path, std::string bytes) {
    const std::string key = upper(path);
    auto it = volume.nodes.find(key);
    if (it != volume.nodes.end() && it->second.folder) throw scpi_error(-257, "File name error;folder:" + path);
    const std::size_t old_size = it == volume.nodes.end() ? 0 : it->second.bytes.size();
    if (volume.used_bytes - old_size + bytes.size() > max_volume_bytes)
        throw scpi_error(-250, "Mass storage error;volume full");
    if (it == volume.nodes.end()) {
        if (volume.nodes.size() >= max_nodes) throw scpi_error(-250, "Mass storage error;too many files");
        node_t n;
        n.path = new_node_path(volume, path);
        it = volume.nodes.emplace(key, std::move(n)).first;
    }
    volume.used_bytes = volume.used_bytes - old_size + bytes.size();
    it->second.bytes = std::move(bytes);
    it->second.stamp = volume.clock++;
}

// ---------------------------------------------------------------- file contents

const char* const state_magic = "ZOR-STATE ";
const char* const limit_magic = "ZOR-LIMIT\n";
const char* const ripple_magic = "ZOR-RIPPLE-LIMIT\n";

// The kind of a state file ("STAT", "CORR", "CSAR"), empty for any other file.
std::string state_kind(const std::string& bytes) {
    const std::string magic = state_magic;
    if (bytes.size() < magic.size() + 6 || bytes.compare(0, magic.size(), magic) != 0 ||
        bytes[magic.size() + 4] != ' ')
        return {};
    const std::string kind = bytes.substr(magic.size(), 4);
    return kind == "STAT" || kind == "CORR" || kind == "CSAR" ? kind : std::string();
}

std::string state_file(const std::string& kind, std::int64_t snapshot) {
    return state_magic + kind + " " + std::to_string(snapshot) + "\n";
}

void store_state(context_t& ctx, const std::string& kind) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const std::string path = absolute_path(volume, ctx.string_param(0));
    instrument_t& inst = instrument_of(ctx);
    const std::int64_t id = volume.next_snapshot++;
    write_file(volume, path, state_file(kind, id));
    volume.snapshots.emplace(id, snapshot_t{inst.settings(), inst.layout, inst.limit_tables});
    // Older snapshots go; their files then read as stale.
    while (volume.snapshots.size() > max_snapshots) volume.snapshots.erase(volume.snapshots.begin());
}

// Loads a state file whose kind is one of `accepted` (empty: any state file).
void load_state(context_t& ctx, const std::vector<std::string>& accepted) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const node_t& file = existing_file(volume, absolute_path(volume, ctx.string_param(0)));
    const std::string kind = state_kind(file.bytes);
    if (kind.empty() || (!accepted.empty() && std::find(accepted.begin(), accepted.end(), kind) == accepted.end()))
        throw scpi_error(-257, "File name error;not a file of this type:" + file.path);
    std::int64_t id = 0;
    for (std::size_t i = std::string(state_magic).size() + 5; i < file.bytes.size(); ++i) {
        const char c = file.bytes[i];
        if (c < '0' || c > '9' || id > 1000000000) break;
        id = id * 10 + (c - '0');
    }
    auto it = volume.snapshots.find(id);
    if (it == volume.snapshots.end()) throw scpi_error(-230, "Data corrupt or stale;" + file.path);
    instrument_t& inst = instrument_of(ctx);
    const snapshot_t snapshot = it->second;  // the assignment below replaces the token too
    const std::int64_t token = inst.settings().integer(token_key);
    inst.settings() = snapshot.settings;
    inst.settings().set_value(token_key, {}, token);
    inst.layout = snapshot.layout;
    inst.limit_tables = snapshot.limit_tables;
}

std::pair<int, int> active_trace(context_t& ctx) {
    const layout_t& layout = instrument_of(ctx).layout;
    return {layout.active_channel, layout.active_trace};
}

void store_limit(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const std::string path = absolute_path(volume, ctx.string_param(0));
    const auto& tables = instrument_of(ctx).limit_tables;
    auto it = tables.find(active_trace(ctx));
    write_file(volume, path, limit_magic + (it == tables.end() ? std::string("0") : it->second) + "\n");
}

void load_limit(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const node_t& file = existing_file(volume, absolute_path(volume, ctx.string_param(0)));
    const std::string magic = limit_magic;
    if (file.bytes.compare(0, magic.size(), magic) != 0 || file.bytes.size() < magic.size() + 2 ||
        file.bytes.back() != '\n')
        throw scpi_error(-257, "File name error;not a limit file:" + file.path);
    const std::string table = file.bytes.substr(magic.size(), file.bytes.size() - magic.size() - 1);
    // Numbers and commas only: the text must not smuggle in other commands.
    if (table.find_first_not_of("0123456789+-.eE, ") != std::string::npos)
        throw scpi_error(-257, "File name error;not a limit file:" + file.path);
    // The table goes through the analyzer's own limit command, so a file
    // edited on a computer is checked like a table sent by a program.
    const scpi::result_t result = scpi::execute(
        ctx.device().table(), ctx.device(),
        ":CALC" + std::to_string(active_trace(ctx).first) + ":TRAC" + std::to_string(active_trace(ctx).second) +
            ":LIM:DATA " + table);
    (void)result;
}

const char* const ripple_keys[] = {
    ":CALCulate#:TRACe#:RLIMit[:STATe]",
    ":CALCulate#:TRACe#:RLIMit:DISPlay:LINE",
    ":CALCulate#:TRACe#:RLIMit:SOUNd[:STATe]",
};

void store_ripple(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const std::string path = absolute_path(volume, ctx.string_param(0));
    const auto [channel, trace] = active_trace(ctx);
    std::string text = ripple_magic;
    for (const char* key : ripple_keys) {
        const bool on = ctx.device().table().find_setting(key) != nullptr &&
                        ctx.settings().boolean(key, {channel, trace});
        text += on ? "1\n" : "0\n";
    }
    write_file(volume, path, text);
}

void load_ripple(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const node_t& file = existing_file(volume, absolute_path(volume, ctx.string_param(0)));
    const std::string magic = ripple_magic;
    const std::size_t count = sizeof ripple_keys / sizeof ripple_keys[0];
    bool sound = file.bytes.compare(0, magic.size(), magic) == 0 && file.bytes.size() == magic.size() + 2 * count;
    for (std::size_t i = 0; sound && i < count; ++i) {
        const char v = file.bytes[magic.size() + 2 * i];
        sound = (v == '0' || v == '1') && file.bytes[magic.size() + 2 * i + 1] == '\n';
    }
    if (!sound) throw scpi_error(-257, "File name error;not a ripple limit file:" + file.path);
    const auto [channel, trace] = active_trace(ctx);
    for (std::size_t i = 0; i < count; ++i) {
        if (ctx.device().table().find_setting(ripple_keys[i]) == nullptr) continue;
        ctx.settings().set_value(ripple_keys[i], {channel, trace}, file.bytes[magic.size() + 2 * i] == '1');
    }
}

// The screen as an image file: BMP or SVG when the name ends so, else PNG.
// Without the renderer (the Windows build has no cairo) there is no image
// to give, and the command says so rather than store a made-up one.
std::string screen_image(context_t& ctx, const std::string& name) {
#ifdef ZORSIM_HAS_RENDERER
    auto ends_with = [&name](const char* suffix) {
        const std::size_t n = std::strlen(suffix);
        if (name.size() < n) return false;
        for (std::size_t i = 0; i < n; ++i)
            if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != suffix[i]) return false;
        return true;
    };
    const auto format = ends_with(".bmp")   ? display::image_format_t::bmp
                        : ends_with(".svg") ? display::image_format_t::svg
                                            : display::image_format_t::png;
    try {
        return display::render(display::capture(instrument_of(ctx)), format);
    } catch (const std::runtime_error& e) {
        throw scpi_error(-200, std::string("Execution error;") + e.what());
    }
#else
    (void)ctx;
    (void)name;
    throw scpi_error(-241, "Hardware missing;screen images need the display renderer, built on Linux only");
#endif
}

// ---------------------------------------------------------------- catalog

// The names in a folder, folders marked with a trailing '/', as one quoted
// list; `kind` keeps only state files of that kind.
void answer_catalog(context_t& ctx, const std::string& kind) {
    ctx.expect_params(0, 1);
    volume_t& volume = volume_of(ctx);
    // No name, or an empty one: the current folder.
    const bool current = ctx.params().empty() || ctx.string_param(0).empty();
    const std::string folder = upper(current ? volume.current : absolute_path(volume, ctx.string_param(0)));
    existing_folder(volume, folder);
    std::string list;
    for (const auto& [key, node] : volume.nodes) {
        if (!inside(key, folder) || key.find('/', folder == root_path ? 1 : folder.size() + 1) != std::string::npos)
            continue;
        if (!kind.empty() && (node.folder || state_kind(node.bytes) != kind)) continue;
        if (!list.empty()) list += ',';
        list += name_of(node.path);
        if (node.folder) list += '/';
    }
    ctx.answer_string(list);
}

// ---------------------------------------------------------------- folders and files

void make_folder(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const std::string path = absolute_path(volume, ctx.string_param(0));
    if (volume.nodes.count(upper(path))) throw scpi_error(-257, "File name error;exists:" + path);
    if (volume.nodes.size() >= max_nodes) throw scpi_error(-250, "Mass storage error;too many files");
    volume.add_folder(new_node_path(volume, path));
}

void remove_folder(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const std::string key = upper(existing_folder(volume, absolute_path(volume, ctx.string_param(0))).path);
    if (key == root_path) throw scpi_error(-257, "File name error;root");
    if (key == volume.current || inside(volume.current, key))
        throw scpi_error(-257, "File name error;current folder");
    for (const auto& entry : volume.nodes)
        if (inside(entry.first, key)) throw scpi_error(-257, "File name error;folder not empty");
    volume.nodes.erase(key);
}

void change_folder(context_t& ctx) {
    ctx.expect_params(0, 1);
    volume_t& volume = volume_of(ctx);
    // Without a name: back to the home folder (made again if it was removed).
    if (ctx.params().empty()) {
        if (!volume.nodes.count(upper(home_path))) volume.add_folder(home_path);
        volume.current = upper(home_path);
        return;
    }
    volume.current = upper(existing_folder(volume, absolute_path(volume, ctx.string_param(0))).path);
}

// The target of a copy or move: into `to` when it names a folder.
std::string target_path(volume_t& volume, const std::string& to, const std::string& source_path) {
    auto it = volume.nodes.find(upper(to));
    if (it != volume.nodes.end() && it->second.folder)
        return (it->second.path == root_path ? std::string() : it->second.path) + "/" + name_of(source_path);
    return to;
}

void copy_file(context_t& ctx) {
    ctx.expect_params(2, 2);
    volume_t& volume = volume_of(ctx);
    const node_t source = existing_file(volume, absolute_path(volume, ctx.string_param(0)));
    const std::string to = target_path(volume, absolute_path(volume, ctx.string_param(1)), source.path);
    if (upper(to) == upper(source.path)) return;
    write_file(volume, to, source.bytes);
    volume.nodes[upper(to)].stamp = source.stamp;  // a copy keeps the date of its source
}

void move_node(context_t& ctx) {
    ctx.expect_params(2, 2);
    volume_t& volume = volume_of(ctx);
    const node_t source = existing(volume, absolute_path(volume, ctx.string_param(0)));
    const std::string from_key = upper(source.path);
    if (from_key == root_path) throw scpi_error(-257, "File name error;root");
    const std::string to = target_path(volume, absolute_path(volume, ctx.string_param(1)), source.path);
    const std::string to_key = upper(to);
    if (to_key == from_key) {
        volume.nodes[from_key].path = new_node_path(volume, to);  // a change of case only
        return;
    }
    if (volume.nodes.count(to_key)) throw scpi_error(-257, "File name error;exists:" + to);
    if (inside(to_key, from_key)) throw scpi_error(-257, "File name error;into itself");
    const std::string to_path = new_node_path(volume, to);
    // The node and, for a folder, everything under it take the new prefix.
    std::vector<std::pair<std::string, node_t>> moved;
    for (auto it = volume.nodes.begin(); it != volume.nodes.end();) {
        if (it->first == from_key || inside(it->first, from_key)) {
            node_t n = std::move(it->second);
            n.path = to_path + n.path.substr(source.path.size());
            moved.emplace_back(to_key + it->first.substr(from_key.size()), std::move(n));
            it = volume.nodes.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& entry : moved) volume.nodes.emplace(std::move(entry.first), std::move(entry.second));
    if (volume.current == from_key || inside(volume.current, from_key))
        volume.current = to_key + volume.current.substr(from_key.size());
}

void delete_file(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const node_t& file = existing_file(volume, absolute_path(volume, ctx.string_param(0)));
    volume.used_bytes -= file.bytes.size();
    volume.nodes.erase(upper(file.path));
}

void answer_stamp(context_t& ctx, bool date) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const civil_t t = civil_from_seconds(existing(volume, absolute_path(volume, ctx.string_param(0))).stamp);
    if (date) {
        ctx.answer_integer(t.year);
        ctx.answer_integer(t.month);
        ctx.answer_integer(t.day);
    } else {
        ctx.answer_integer(t.hour);
        ctx.answer_integer(t.minute);
        ctx.answer_integer(t.second);
    }
}

void receive_file(context_t& ctx) {
    ctx.expect_params(2, 2);
    volume_t& volume = volume_of(ctx);
    const std::string path = absolute_path(volume, ctx.string_param(0));
    if (ctx.param(1).type != scpi::param_type_t::block) throw scpi_error(-104);
    write_file(volume, path, ctx.block_param(1));
}

void send_file(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    ctx.answer_block(existing_file(volume, absolute_path(volume, ctx.string_param(0))).bytes);
}

}  // namespace

void register_memory_commands(scpi::command_table_t& t) {
    t.add_setting(scpi::integer_setting(token_key, 0).keeping_over_reset());

    t.add_command(":MMEMory:MDIRectory", make_folder);
    t.add_command(":MMEMory:RDIRectory", remove_folder);
    t.add(":MMEMory:CDIRectory", change_folder, [](context_t& ctx) {
        ctx.expect_params(0, 0);
        volume_t& volume = volume_of(ctx);
        ctx.answer_string(volume.nodes.at(volume.current).path);
    });
    t.add_command(":MMEMory:COPY", copy_file);
    t.add_command(":MMEMory:MOVE", move_node);
    t.add_command(":MMEMory:DELete", delete_file);

    // Typed forms first: the bare LOAD and STORe would take them otherwise.
    t.add_command(":MMEMory:LOAD:STATe", [](context_t& ctx) { load_state(ctx, {"STAT", "CSAR"}); });
    t.add_command(":MMEMory:LOAD:CORRection", [](context_t& ctx) { load_state(ctx, {"CORR", "CSAR"}); });
    t.add_command(":MMEMory:LOAD:CSAR", [](context_t& ctx) { load_state(ctx, {"CSAR"}); });
    t.add_command(":MMEMory:LOAD:LIMit", load_limit);
    t.add_command(":MMEMory:LOAD:RLIMit", load_ripple);
    t.add_command(":MMEMory:LOAD", [](context_t& ctx) { load_state(ctx, {}); });
    t.add_command(":MMEMory:STORe:STATe", [](context_t& ctx) { store_state(ctx, "STAT"); });
    t.add_command(":MMEMory:STORe:CORRection", [](context_t& ctx) { store_state(ctx, "CORR"); });
    t.add_command(":MMEMory:STORe:CSAR", [](context_t& ctx) { store_state(ctx, "CSAR"); });
    t.add_command(":MMEMory:STORe:LIMit", store_limit);
    t.add_command(":MMEMory:STORe:RLIMit", store_ripple);
    t.add_command(":MMEMory:STORe:IMAGe", [](context_t& ctx) {
        ctx.expect_params(1, 1);
        volume_t& volume = volume_of(ctx);
        const std::string name = ctx.string_param(0);
        write_file(volume, absolute_path(volume, name), screen_image(ctx, name));
    });
    t.add_command(":MMEMory:STORe", [](context_t& ctx) { store_state(ctx, "STAT"); });

    t.add_query(":MMEMory:CATalog:STATe?", [](context_t& ctx) { answer_catalog(ctx, "STAT"); });
    t.add_query(":MMEMory:CATalog:CORRection?", [](context_t& ctx) { answer_catalog(ctx, "CORR"); });
    t.add_query(":MMEMory:CATalog:CSAR?", [](context_t& ctx) { answer_catalog(ctx, "CSAR"); });
    t.add_query(":MMEMory:CATalog?", [](context_t& ctx) { answer_catalog(ctx, {}); });
    t.add_query(":MMEMory:DATE?", [](context_t& ctx) { answer_stamp(ctx, true); });
    t.add_query(":MMEMory:TIME?", [](context_t& ctx) { answer_stamp(ctx, false); });
    t.add(":MMEMory:TRANsfer", receive_file, send_file);
}

}  // namespace zorsim
