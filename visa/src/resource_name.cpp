#include "resource_name.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace zorvisa {
namespace {

constexpr std::size_t max_name_length = 255;  // what VI_ATTR_RSRC_NAME can hold

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Splits at "::", except inside [ ] so IPv6 literals stay whole. Unbalanced
// brackets give no fields.
std::vector<std::string> split_fields(const std::string& s) {
    std::vector<std::string> fields(1);
    int depth = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '[') ++depth;
        if (c == ']' && depth > 0) --depth;
        if (depth == 0 && c == ':' && i + 1 < s.size() && s[i + 1] == ':') {
            fields.emplace_back();
            ++i;
            continue;
        }
        fields.back() += c;
    }
    if (depth != 0) fields.clear();
    return fields;
}

bool all_digits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool has_space(const std::string& s) {
    for (char c : s)
        if (std::isspace(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}

// Interface types that form valid names even though only TCPIP and SIM are served.
bool known_interface(const std::string& upper_prefix) {
    static const char* const names[] = {"GPIB-VXI", "GPIB", "VXI", "ASRL", "USB", "PXI", "TCPIP", "SIM"};
    for (const char* n : names)
        if (upper_prefix == n) return true;
    return false;
}

}  // namespace

ViStatus parse_resource_name(const char* text, resource_name_t& out) {
    if (text == nullptr) return VI_ERROR_INV_RSRC_NAME;
    const std::size_t len = std::strlen(text);
    if (len == 0 || len > max_name_length) return VI_ERROR_INV_RSRC_NAME;
    const std::string name(text, len);
    if (has_space(name)) return VI_ERROR_INV_RSRC_NAME;

    const std::vector<std::string> fields = split_fields(name);
    if (fields.empty()) return VI_ERROR_INV_RSRC_NAME;
    // Interface type, then an optional board number.
    const std::string head = upper(fields[0]);
    std::size_t digits_at = head.size();
    while (digits_at > 0 && std::isdigit(static_cast<unsigned char>(head[digits_at - 1]))) --digits_at;
    const std::string intf = head.substr(0, digits_at);
    const std::string board_text = head.substr(digits_at);
    if (!known_interface(intf)) return VI_ERROR_INV_RSRC_NAME;
    if (board_text.size() > 4) return VI_ERROR_INV_RSRC_NAME;
    const unsigned board = board_text.empty() ? 0u : static_cast<unsigned>(std::stoul(board_text));
    for (std::size_t i = 1; i < fields.size(); ++i)
        if (fields[i].empty()) return VI_ERROR_INV_RSRC_NAME;
    if (fields.size() < 2) return VI_ERROR_INV_RSRC_NAME;
    const std::string last = upper(fields.back());

    if (intf == "TCPIP") {
        const bool socket = fields.size() == 4 && last == "SOCKET";
        const bool instr = (fields.size() == 3 || fields.size() == 4) && last == "INSTR";
        if (!socket && !instr) {
            if (fields.size() == 2) return VI_ERROR_RSRC_NFOUND;  // host alone: an instrument name we cannot reach
            return VI_ERROR_INV_RSRC_NAME;
        }
        std::string host = fields[1];
        if (host.front() == '[') {
            if (host.size() < 3 || host.back() != ']') return VI_ERROR_INV_RSRC_NAME;
            host = host.substr(1, host.size() - 2);
        } else if (host.find_first_of("[]") != std::string::npos) {
            return VI_ERROR_INV_RSRC_NAME;
        }
        out = resource_name_t{};
        out.board = board;
        out.host = host;
        const std::string prefix = "TCPIP" + std::to_string(board) + "::" + fields[1] + "::";
        if (socket) {
            const std::string& port_text = fields[2];
            if (!all_digits(port_text) || port_text.size() > 5) return VI_ERROR_INV_RSRC_NAME;
            const unsigned long port = std::stoul(port_text);
            if (port == 0 || port > 65535) return VI_ERROR_INV_RSRC_NAME;
            out.kind = resource_name_t::kind_t::socket;
            out.port = static_cast<std::uint16_t>(port);
            out.canonical = prefix + std::to_string(port) + "::SOCKET";
            return VI_SUCCESS;
        }
        // A device name of "hislip<n>[,port]" means HiSLIP; any other name
        // (default inst0) is a VXI-11 device.
        std::string device = fields.size() == 4 ? fields[2] : "inst0";
        if (upper(device).rfind("HISLIP", 0) == 0) {
            out.kind = resource_name_t::kind_t::hislip;
            out.port = 4880;
            const auto comma = device.find(',');
            if (comma != std::string::npos) {
                const std::string port_text = device.substr(comma + 1);
                if (!all_digits(port_text) || port_text.size() > 5) return VI_ERROR_INV_RSRC_NAME;
                const unsigned long port = std::stoul(port_text);
                if (port == 0 || port > 65535) return VI_ERROR_INV_RSRC_NAME;
                out.port = static_cast<std::uint16_t>(port);
                device.erase(comma);
            }
            if (!all_digits(device.substr(6))) return VI_ERROR_INV_RSRC_NAME;
        } else {
            out.kind = resource_name_t::kind_t::vxi11;
            if (device.find_first_of(",[]") != std::string::npos) return VI_ERROR_INV_RSRC_NAME;
        }
        out.device = device;
        out.canonical = prefix + (fields.size() == 4 ? fields[2] : device) + "::INSTR";
        return VI_SUCCESS;
    }
    if (intf == "SIM") {
        if (fields.size() != 3 || last != "INSTR") return VI_ERROR_INV_RSRC_NAME;
        out = resource_name_t{};
        out.kind = resource_name_t::kind_t::sim;
        out.board = board;
        out.sim_name = fields[1];
        out.canonical = "SIM" + std::to_string(board) + "::" + fields[1] + "::INSTR";
        return VI_SUCCESS;
    }
    return VI_ERROR_RSRC_NFOUND;
}

}  // namespace zorvisa
