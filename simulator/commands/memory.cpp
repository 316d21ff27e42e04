// MMEMory: the instrument's own files and folders (instrument/volume.h).
//
// Paths take '/' or '\\' as separator; a path starting with one is absolute,
// any other is relative to the current folder; names compare without regard
// to case but keep the case they were created with.
//
// State files (STATe, CORRection, CSAR) hold a reference to the setup kept
// with the volume; limit and ripple-limit files hold the active trace's
// table or ripple settings as text; screen dumps are images of the display.
#include "commands.h"
#include "limit.h"

#include <simulator/display/renderer.h>
#include <simulator/instrument/display_source.h>
#include <simulator/instrument/settings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zorsim {

namespace {

using node_t = volume_node_t;

volume_t& volume_of(context_t& ctx) { return instrument_of(ctx).volume; }

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
    auto it = volume.nodes.find(path_key(path));
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
    const std::string key = path_key(path);
    auto it = volume.nodes.find(key);
    if (it != volume.nodes.end() && it->second.folder) throw scpi_error(-257, "File name error;folder:" + path);
    const std::size_t old_size = it == volume.nodes.end() ? 0 : it->second.bytes.size();
    if (volume.used_bytes - old_size + bytes.size() > max_volume_bytes)
        throw scpi_error(-250, "Mass storage error;volume full");
    if (it == volume.nodes.end()) {
        if (volume.nodes.size() >= max_volume_nodes) throw scpi_error(-250, "Mass storage error;too many files");
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
    const std::int64_t id = volume.next_state++;
    write_file(volume, path, state_file(kind, id));
    volume.states.emplace(id, stored_state_t{inst.settings(), inst.setup});
    // Older states go; their files then read as stale.
    while (volume.states.size() > max_state_files) volume.states.erase(volume.states.begin());
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
    const auto it = volume.states.find(id);
    if (it == volume.states.end()) throw scpi_error(-230, "Data corrupt or stale;" + file.path);
    instrument_t& inst = instrument_of(ctx);
    inst.settings() = it->second.settings;
    inst.setup = it->second.setup;
}

trace_key_t active_trace(context_t& ctx) {
    const layout_t& layout = instrument_of(ctx).setup.layout;
    return {layout.active_channel, layout.active_trace};
}

void store_limit(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const std::string path = absolute_path(volume, ctx.string_param(0));
    write_file(volume, path, limit_magic + limit_table_text(instrument_of(ctx), active_trace(ctx)) + "\n");
}

// The numbers of a limit file's table; false when it holds anything else.
bool table_numbers(const std::string& text, std::vector<double>& numbers) {
    std::size_t from = 0;
    for (;;) {
        std::size_t to = text.find(',', from);
        if (to == std::string::npos) to = text.size();
        std::size_t a = from, b = to;
        while (a < b && text[a] == ' ') ++a;
        while (b > a && text[b - 1] == ' ') --b;
        if (a < b && text[a] == '+') ++a;
        double v = 0;
        const auto [end, ec] = std::from_chars(text.data() + a, text.data() + b, v);
        if (a == b || ec != std::errc() || end != text.data() + b) return false;
        numbers.push_back(v);
        if (to == text.size()) return true;
        from = to + 1;
    }
}

// A file edited on a computer is checked like a table sent by a program.
void load_limit(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const node_t& file = existing_file(volume, absolute_path(volume, ctx.string_param(0)));
    const std::string magic = limit_magic;
    std::vector<double> numbers;
    if (file.bytes.compare(0, magic.size(), magic) != 0 || file.bytes.size() < magic.size() + 2 ||
        file.bytes.back() != '\n' ||
        !table_numbers(file.bytes.substr(magic.size(), file.bytes.size() - magic.size() - 1), numbers))
        throw scpi_error(-257, "File name error;not a limit file:" + file.path);
    load_limit_table(instrument_of(ctx), active_trace(ctx), numbers);
}

const settings::boolean_t* const ripple_keys[] = {&settings::ripple_test, &settings::ripple_lines,
                                                   &settings::ripple_sound};

void store_ripple(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const std::string path = absolute_path(volume, ctx.string_param(0));
    const auto [channel, trace] = active_trace(ctx);
    std::string text = ripple_magic;
    for (const auto* key : ripple_keys) text += ctx.settings().get(*key, {channel, trace}) ? "1\n" : "0\n";
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
    for (std::size_t i = 0; i < count; ++i)
        ctx.settings().set(*ripple_keys[i], {channel, trace}, file.bytes[magic.size() + 2 * i] == '1');
}

// The screen as an image file: BMP or SVG when the name ends so, else PNG.
// Without the renderer (the Windows build has no cairo) there is no image
// to give, and the command says so rather than store a made-up one.
std::string screen_image(context_t& ctx, const std::string& name) {
    const display::render_entry_t render = display::renderer();
    if (render == nullptr)
        throw scpi_error(-241, "Hardware missing;screen images need the display renderer, built on Linux only");
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
    std::string image, error;
    if (!render(display_state(instrument_of(ctx)), format, display::default_width, display::default_height, image, error))
        throw scpi_error(-200, "Execution error;" + error);
    return image;
}

// ---------------------------------------------------------------- catalog

// The names in a folder, folders marked with a trailing '/', as one quoted
// list; `kind` keeps only state files of that kind.
void answer_catalog(context_t& ctx, const std::string& kind) {
    ctx.expect_params(0, 1);
    volume_t& volume = volume_of(ctx);
    // No name, or an empty one: the current folder.
    const bool current = ctx.params().empty() || ctx.string_param(0).empty();
    const std::string folder = path_key(current ? volume.current : absolute_path(volume, ctx.string_param(0)));
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
    if (volume.nodes.count(path_key(path))) throw scpi_error(-257, "File name error;exists:" + path);
    if (volume.nodes.size() >= max_volume_nodes) throw scpi_error(-250, "Mass storage error;too many files");
    volume.add_folder(new_node_path(volume, path));
}

void remove_folder(context_t& ctx) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const std::string key = path_key(existing_folder(volume, absolute_path(volume, ctx.string_param(0))).path);
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
        if (!volume.nodes.count(path_key(home_path))) volume.add_folder(home_path);
        volume.current = path_key(home_path);
        return;
    }
    volume.current = path_key(existing_folder(volume, absolute_path(volume, ctx.string_param(0))).path);
}

// The target of a copy or move: into `to` when it names a folder.
std::string target_path(volume_t& volume, const std::string& to, const std::string& source_path) {
    auto it = volume.nodes.find(path_key(to));
    if (it != volume.nodes.end() && it->second.folder)
        return (it->second.path == root_path ? std::string() : it->second.path) + "/" + name_of(source_path);
    return to;
}

void copy_file(context_t& ctx) {
    ctx.expect_params(2, 2);
    volume_t& volume = volume_of(ctx);
    const node_t source = existing_file(volume, absolute_path(volume, ctx.string_param(0)));
    const std::string to = target_path(volume, absolute_path(volume, ctx.string_param(1)), source.path);
    if (path_key(to) == path_key(source.path)) return;
    write_file(volume, to, source.bytes);
    volume.nodes[path_key(to)].stamp = source.stamp;  // a copy keeps the date of its source
}

void move_node(context_t& ctx) {
    ctx.expect_params(2, 2);
    volume_t& volume = volume_of(ctx);
    const node_t source = existing(volume, absolute_path(volume, ctx.string_param(0)));
    const std::string from_key = path_key(source.path);
    if (from_key == root_path) throw scpi_error(-257, "File name error;root");
    const std::string to = target_path(volume, absolute_path(volume, ctx.string_param(1)), source.path);
    const std::string to_key = path_key(to);
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
    volume.nodes.erase(path_key(file.path));
}

void answer_stamp(context_t& ctx, bool date) {
    ctx.expect_params(1, 1);
    volume_t& volume = volume_of(ctx);
    const civil_time_t t = civil_time(existing(volume, absolute_path(volume, ctx.string_param(0))).stamp);
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
