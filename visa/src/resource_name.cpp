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

namespace {

constexpr const char* forms =
    " (TCPIP::host::port::SOCKET, TCPIP::host::INSTR, TCPIP::host::hislip0::INSTR, SIM::name::INSTR)";

ViStatus refuse(std::string* why, ViStatus status, const std::string& text) {
    if (why != nullptr) *why = text;
    return status;
}

ViStatus bad_name(std::string* why, const std::string& text) {
    return refuse(why, VI_ERROR_INV_RSRC_NAME, text + forms);
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// A port number as written in a resource name: 1 to 65535.
bool port_number(const std::string& text, std::uint16_t& port) {
    if (!all_digits(text) || text.size() > 5) return false;
    const unsigned long value = std::stoul(text);
    if (value == 0 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

ViStatus parse_resource_name(const char* text, resource_name_t& out, std::string* why) {
    if (text == nullptr) return bad_name(why, "no resource name");
    const std::size_t len = std::strlen(text);
    if (len == 0) return bad_name(why, "the resource name is empty");
    if (len > max_name_length) return bad_name(why, "the resource name is longer than 255 characters");
    const std::string name(text, len);
    if (has_space(name)) return bad_name(why, "the resource name holds a space or a control character");

    const std::vector<std::string> fields = split_fields(name);
    if (fields.empty()) return bad_name(why, "a [ of an address has no ]");
    // Interface type, then an optional board number.
    const std::string head = upper(fields[0]);
    std::size_t digits_at = head.size();
    while (digits_at > 0 && std::isdigit(static_cast<unsigned char>(head[digits_at - 1]))) --digits_at;
    const std::string intf = head.substr(0, digits_at);
    const std::string board_text = head.substr(digits_at);
    if (!known_interface(intf))
        return bad_name(why, "the interface " + quoted(fields[0]) + " is none of TCPIP, SIM, GPIB, USB, ASRL, VXI");
    if (board_text.size() > 4) return bad_name(why, "the board number of " + quoted(fields[0]) + " is too long");
    const unsigned board = board_text.empty() ? 0u : static_cast<unsigned>(std::stoul(board_text));
    for (std::size_t i = 1; i < fields.size(); ++i)
        if (fields[i].empty())
            return bad_name(why, "part " + std::to_string(i + 1) + " is empty (\"::::\" or \"::\" at the end)");
    if (fields.size() < 2) return bad_name(why, "only an interface; parts are separated by \"::\"");
    const std::string last = upper(fields.back());

    if (intf == "TCPIP") {
        const bool socket = fields.size() == 4 && last == "SOCKET";
        const bool instr = (fields.size() == 3 || fields.size() == 4) && last == "INSTR";
        if (!socket && !instr) {
            if (fields.size() == 2)  // host alone: an instrument name we cannot reach
                return refuse(why, VI_ERROR_RSRC_NFOUND,
                              "TCPIP::" + fields[1] + " names no instrument: end it with ::INSTR (VXI-11) or "
                              "::port::SOCKET (raw socket)");
            if (last == "SOCKET") return bad_name(why, "a socket resource has four parts, the port third");
            return bad_name(why, "the last part " + quoted(fields.back()) + " is neither SOCKET nor INSTR");
        }
        std::string host = fields[1];
        if (host.front() == '[') {
            if (host.size() < 3 || host.back() != ']') return bad_name(why, "the address " + quoted(host) + " is cut");
            host = host.substr(1, host.size() - 2);
        } else if (host.find_first_of("[]") != std::string::npos) {
            return bad_name(why, "the address " + quoted(host) + " has a stray [ or ]");
        }
        out = resource_name_t{};
        out.board = board;
        out.host = host;
        const std::string prefix = "TCPIP" + std::to_string(board) + "::" + fields[1] + "::";
        if (socket) {
            if (!port_number(fields[2], out.port))
                return bad_name(why, "the port " + quoted(fields[2]) + " is not a number from 1 to 65535");
            out.kind = resource_name_t::kind_t::socket;
            out.canonical = prefix + std::to_string(out.port) + "::SOCKET";
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
                if (!port_number(port_text, out.port))
                    return bad_name(why, "the HiSLIP port " + quoted(port_text) + " is not a number from 1 to 65535");
                device.erase(comma);
            }
            if (!all_digits(device.substr(6)))
                return bad_name(why, "the HiSLIP device " + quoted(device) + " is not hislip and a number");
        } else {
            out.kind = resource_name_t::kind_t::vxi11;
            if (device.find_first_of(",[]") != std::string::npos)
                return bad_name(why, "the device name " + quoted(device) + " holds , [ or ]");
        }
        out.device = device;
        out.canonical = prefix + (fields.size() == 4 ? fields[2] : device) + "::INSTR";
        return VI_SUCCESS;
    }
    if (intf == "SIM") {
        if (fields.size() != 3 || last != "INSTR") return bad_name(why, "a simulated analyzer is SIM::name::INSTR");
        out = resource_name_t{};
        out.kind = resource_name_t::kind_t::sim;
        out.board = board;
        out.sim_name = fields[1];
        out.canonical = "SIM" + std::to_string(board) + "::" + fields[1] + "::INSTR";
        return VI_SUCCESS;
    }
    return refuse(why, VI_ERROR_RSRC_NFOUND,
                  "this VISA library (the driver's bundled one) reaches TCPIP and SIM resources only, no GPIB, USB, "
                  "serial, VXI or PXI: for " + intf + " install a vendor VISA and name it in ZOR_VISA_LIBRARY");
}

}  // namespace zorvisa
