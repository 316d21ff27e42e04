// Action exports of the error correction (apply, save; per channel) and of
// the calibration kits. Each channel holds its own kits and selects one, so
// the kit exports address the channel the selector names
// (":SENSe<n>:CORRection:..."), found as every export finds it; an empty
// selector leaves the channel out (":SENSe:CORRection:...").
#include "functions/action.h"

#include <string>
#include <vector>

using namespace qvdriver;
using namespace qvdriver::functions;

namespace {

// The selected kit's number lies outside the catalog: the value the identity
// check also fails with.
constexpr status_t kit_number_outside_catalog = zor_error_identity_check;

// Null arguments are refused before the session is touched; the record is
// still written under the guard so no exception leaves the export.
ViStatus refuse(ViSession vi, ViInt32 position, const char* message) {
    return guarded([&]() -> ViStatus { return null_argument(vi, position, message); });
}

// A kit name goes out as a SCPI string; a control character is refused.
ViStatus check_name(ViSession vi, ViInt32 position, ViConstString name, const char* what) {
    return guarded([&]() -> ViStatus { return check_text(vi, position, name, what); });
}

// The caller's buffer is checked before any traffic: a reply read for a
// buffer that cannot take it would be lost anyway.
ViStatus check_buffer(ViSession vi, ViInt32 bufferSize, const ViChar* buffer) {
    if (buffer == nullptr) return refuse(vi, 4, "Null address for Buffer");
    if (bufferSize < 1) return leave_error_record(vi, zor_error_buffer_size);
    return 0;
}

// Runs body(command) once per record of the selector, `format` holding the
// channel as its first %d field (":SENSe%d:..."); with an empty selector
// the field is left out. Stops at the first status that is not 0.
template <typename Body>
status_t per_kit_channel(session_scope_t& scope, ViConstString selector, const char* format, Body&& body) {
    local_model_t<> model(scope);
    return per_record(model, selector, [&](local_model_t<>& m) -> status_t {
        if (zor_adapter::channel_left_out(m, "K")) return body(zor_adapter::without_first_field(format));
        return body(format_command(format, resolve_indices(m, "K")));
    });
}

// The catalog text: white space, then double quotes, trimmed from both ends.
status_t read_catalog(session_scope_t& scope, const std::string& sense, std::string& catalog) {
    status_t status = 0;
    if (scope.api.text_query(status, sense + ":CORRection:COLLect:CKIT:CATalog?", catalog) < 0) return status;
    util::trim(catalog, util::white_space);
    util::trim(catalog, "\"");
    return 0;
}

// Kit k (from 1) is the k-th name between commas.
std::vector<std::string> kit_names(const std::string& catalog) { return split_at_commas(catalog); }

// ":SENSe<n>" of a record, or ":SENSe" for the empty selector.
constexpr const char* sense = ":SENSe%d";

// One command per channel: the kit exports' common body. `rest` follows
// the ":SENSe<n>" of each record.
ViStatus kit_command(ViSession vi, ViConstString selector, const std::string& rest) {
    return locked(vi, [&](session_scope_t& scope) {
        return per_kit_channel(scope, selector, sense,
                               [&](const std::string& channel) { return send(scope, channel + rest); });
    });
}

// Per channel record of the selector, stopping at the first status not 0.
ViStatus per_channel(ViSession vi, ViConstString repCapIdentifier, const char* format) {
    return locked(vi, [&](session_scope_t& scope) {
        local_model_t<> model(scope);
        return per_record(model, repCapIdentifier, [&](local_model_t<>& m) {
            return send(scope, format_command(format, resolve_indices(m, "C")));
        });
    });
}

}  // namespace

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionApplyErrorTerms(ViSession vi, ViConstString repCapIdentifier) {
    return per_channel(vi, repCapIdentifier, ":SENSe%d:CORRection:COEFficient:SAVE");
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionSave(ViSession vi, ViConstString repCapIdentifier) {
    return per_channel(vi, repCapIdentifier, ":SENSe%d:CORRection:COLLect:SAVE");
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionCalKitGetCatalog(ViSession vi, ViConstString repCapIdentifier,
                                                               ViInt32 bufferSize, ViChar buffer[]) {
    if (const ViStatus refused = check_buffer(vi, bufferSize, buffer)) return refused;
    return locked(vi, [&](session_scope_t& scope) {
        return per_kit_channel(scope, repCapIdentifier, sense, [&](const std::string& channel) -> status_t {
            std::string catalog;
            if (const status_t status = read_catalog(scope, channel, catalog)) return status;
            return util::copy_to_buffer(buffer, bufferSize, catalog);
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionCalKitSelectByName(ViSession vi, ViConstString repCapIdentifier,
                                                                 ViConstString name) {
    if (name == nullptr) return refuse(vi, 3, "Null address for Name");
    return locked(vi, [&](session_scope_t& scope) {
        return per_kit_channel(scope, repCapIdentifier, sense, [&](const std::string& channel) -> status_t {
            std::string catalog;
            if (const status_t status = read_catalog(scope, channel, catalog)) return status;
            const auto names = kit_names(catalog);
            // Whole and case-sensitive: "Kit A" is not "kit a" nor "Kit".
            for (std::size_t k = 0; k < names.size(); ++k) {
                if (names[k] == name)
                    return send(scope, channel + ":CORRection:COLLect:CKIT " + std::to_string(k + 1));
            }
            return record_failure(scope.vi, zor_error_calkit_not_found,
                                  "No kit \"" + std::string(name) + "\" in the catalog of " + channel.substr(1) +
                                      ": " + catalog.substr(0, 160) + " (names compare exactly, case included)");
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionCalKitGetSelectedByName(ViSession vi, ViConstString repCapIdentifier,
                                                                      ViInt32 bufferSize, ViChar buffer[]) {
    if (const ViStatus refused = check_buffer(vi, bufferSize, buffer)) return refused;
    return locked(vi, [&](session_scope_t& scope) {
        return per_kit_channel(scope, repCapIdentifier, sense, [&](const std::string& channel) -> status_t {
            status_t status = 0;
            std::int32_t selected = 0;
            if (scope.api.number_query(status, channel + ":CORRection:COLLect:CKIT?", selected) < 0) return status;
            std::string catalog;
            if ((status = read_catalog(scope, channel, catalog)) != 0) return status;
            const auto names = kit_names(catalog);
            // Compared as wide numbers so a reply near the 32-bit limits cannot wrap.
            if (selected < 1 || static_cast<std::size_t>(selected) > names.size()) return kit_number_outside_catalog;
            return util::copy_to_buffer(buffer, bufferSize, names[static_cast<std::size_t>(selected) - 1]);
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionCalKitSelectByNo(ViSession vi, ViConstString repCapIdentifier,
                                                               ViInt32 number) {
    return kit_command(vi, repCapIdentifier, ":CORRection:COLLect:CKIT " + std::to_string(number));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionCalKitGetSelectedByNo(ViSession vi, ViConstString repCapIdentifier,
                                                                    ViInt32* number) {
    if (number == nullptr) return refuse(vi, 3, "Null address for Number");
    return locked(vi, [&](session_scope_t& scope) {
        return per_kit_channel(scope, repCapIdentifier, sense, [&](const std::string& channel) {
            status_t status = 0;
            std::int32_t value = 0;
            // The caller's value changes only when the query succeeded.
            if (scope.api.number_query(status, channel + ":CORRection:COLLect:CKIT?", value) >= 0) *number = value;
            return status;
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitDelete(ViSession vi, ViConstString repCapIdentifier, ViConstString name) {
    if (const ViStatus refused = check_name(vi, 3, name, "Name")) return refused;
    return kit_command(vi, repCapIdentifier, ":CORRection:CKIT:CLEar " + util::scpi_string(name));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitGetCount(ViSession vi, ViConstString repCapIdentifier, ViInt32* count) {
    if (count == nullptr) return refuse(vi, 3, "Null address for Count");
    return locked(vi, [&](session_scope_t& scope) {
        return per_kit_channel(scope, repCapIdentifier, sense, [&](const std::string& channel) {
            status_t status = 0;
            std::int32_t value = 0;
            if (scope.api.number_query(status, channel + ":CORRection:CKIT:COUNt?", value) >= 0) *count = value;
            return status;
        });
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitExport(ViSession vi, ViConstString repCapIdentifier, ViConstString first,
                                                 ViConstString second) {
    if (const ViStatus refused = check_name(vi, 3, first, "First")) return refused;
    if (const ViStatus refused = check_name(vi, 4, second, "Second")) return refused;
    return kit_command(vi, repCapIdentifier,
                       ":CORRection:CKIT:EXPort " + util::scpi_string(first) + "," + util::scpi_string(second));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitImport(ViSession vi, ViConstString repCapIdentifier, ViConstString name) {
    if (const ViStatus refused = check_name(vi, 3, name, "Name")) return refused;
    return kit_command(vi, repCapIdentifier, ":CORRection:CKIT:IMPort " + util::scpi_string(name));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitRestore(ViSession vi, ViConstString repCapIdentifier, ViConstString name) {
    if (const ViStatus refused = check_name(vi, 3, name, "Name")) return refused;
    return kit_command(vi, repCapIdentifier, ":CORRection:CKIT:INITialize " + util::scpi_string(name));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitLoad(ViSession vi, ViConstString repCapIdentifier, ViConstString name) {
    if (const ViStatus refused = check_name(vi, 3, name, "Name")) return refused;
    return kit_command(vi, repCapIdentifier, ":CORRection:CKIT:LOAD " + util::scpi_string(name));
}

}  // extern "C"
