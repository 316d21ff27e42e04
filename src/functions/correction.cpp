// Action exports of the error correction (apply, save; per channel) and of
// the calibration kits. The kit commands act on the instrument's selected
// kit and carry no index, so the kit exports accept a selector but never
// read it.
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

// The caller's buffer is checked before any traffic: a reply read for a
// buffer that cannot take it would be lost anyway.
ViStatus check_buffer(ViSession vi, ViInt32 bufferSize, const ViChar* buffer) {
    if (buffer == nullptr) return refuse(vi, 4, "Null address for Buffer");
    if (bufferSize < 1) return leave_error_record(vi, zor_error_buffer_size);
    return 0;
}

// The catalog text: white space, then double quotes, trimmed from both ends.
status_t read_catalog(session_scope_t& scope, std::string& catalog) {
    status_t status = 0;
    if (scope.api.text_query(status, ":SENSe:CORRection:COLLect:CKIT:CATalog?", catalog) < 0) return status;
    util::trim(catalog, util::white_space);
    util::trim(catalog, "\"");
    return 0;
}

// Kit k (from 1) is the k-th name between commas.
std::vector<std::string> kit_names(const std::string& catalog) { return split_at_commas(catalog); }

// One command, sent once: the kit exports' common body.
ViStatus send_once(ViSession vi, const std::string& command) {
    return locked(vi, [&](session_scope_t& scope) { return send(scope, command); });
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
    (void)repCapIdentifier;
    if (const ViStatus refused = check_buffer(vi, bufferSize, buffer)) return refused;
    return locked(vi, [&](session_scope_t& scope) {
        std::string catalog;
        if (const status_t status = read_catalog(scope, catalog)) return status;
        return util::copy_to_buffer(buffer, bufferSize, catalog);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionCalKitSelectByName(ViSession vi, ViConstString repCapIdentifier,
                                                                 ViConstString name) {
    (void)repCapIdentifier;
    if (name == nullptr) return refuse(vi, 3, "Null address for Name");
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        std::string catalog;
        if (const status_t status = read_catalog(scope, catalog)) return status;
        const auto names = kit_names(catalog);
        // Whole and case-sensitive: "Kit A" is not "kit a" nor "Kit".
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (names[k] == name) {
                return send(scope, util::string_format(":SENSe:CORRection:COLLect:CKIT %d", static_cast<int>(k + 1)));
            }
        }
        return zor_error_calkit_not_found;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionCalKitGetSelectedByName(ViSession vi, ViConstString repCapIdentifier,
                                                                      ViInt32 bufferSize, ViChar buffer[]) {
    (void)repCapIdentifier;
    if (const ViStatus refused = check_buffer(vi, bufferSize, buffer)) return refused;
    return locked(vi, [&](session_scope_t& scope) -> status_t {
        status_t status = 0;
        std::int32_t selected = 0;
        if (scope.api.number_query(status, ":SENSe:CORRection:COLLect:CKIT?", selected) < 0) return status;
        std::string catalog;
        if ((status = read_catalog(scope, catalog)) != 0) return status;
        const auto names = kit_names(catalog);
        // Compared as wide numbers so a reply near the 32-bit limits cannot wrap.
        if (selected < 1 || static_cast<std::size_t>(selected) > names.size()) return kit_number_outside_catalog;
        return util::copy_to_buffer(buffer, bufferSize, names[static_cast<std::size_t>(selected) - 1]);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionCalKitSelectByNo(ViSession vi, ViConstString repCapIdentifier,
                                                               ViInt32 number) {
    (void)repCapIdentifier;
    return send_once(vi, util::string_format(":SENSe:CORRection:COLLect:CKIT %d", static_cast<int>(number)));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCorrectionCalKitGetSelectedByNo(ViSession vi, ViConstString repCapIdentifier,
                                                                    ViInt32* number) {
    (void)repCapIdentifier;
    if (number == nullptr) return refuse(vi, 3, "Null address for Number");
    return locked(vi, [&](session_scope_t& scope) {
        status_t status = 0;
        std::int32_t value = 0;
        // The caller's value changes only when the query succeeded.
        if (scope.api.number_query(status, ":SENSe:CORRection:COLLect:CKIT?", value) >= 0) *number = value;
        return status;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitDelete(ViSession vi, ViConstString repCapIdentifier, ViConstString name) {
    (void)repCapIdentifier;
    if (name == nullptr) return refuse(vi, 3, "Null address for Name");
    return send_once(vi, util::string_format(":SENSe:CORRection:CKIT:CLEar \"%s\"", name));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitGetCount(ViSession vi, ViConstString repCapIdentifier, ViInt32* count) {
    (void)repCapIdentifier;
    if (count == nullptr) return refuse(vi, 3, "Null address for Count");
    return locked(vi, [&](session_scope_t& scope) {
        status_t status = 0;
        std::int32_t value = 0;
        if (scope.api.number_query(status, ":SENSe:CORRection:CKIT:COUNt?", value) >= 0) *count = value;
        return status;
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitExport(ViSession vi, ViConstString repCapIdentifier, ViConstString first,
                                                 ViConstString second) {
    (void)repCapIdentifier;
    if (first == nullptr) return refuse(vi, 3, "Null address for First");
    if (second == nullptr) return refuse(vi, 4, "Null address for Second");
    return send_once(vi, util::string_format(":SENSe:CORRection:CKIT:EXPort \"%s\",\"%s\"", first, second));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitImport(ViSession vi, ViConstString repCapIdentifier, ViConstString name) {
    (void)repCapIdentifier;
    if (name == nullptr) return refuse(vi, 3, "Null address for Name");
    return send_once(vi, util::string_format(":SENSe:CORRection:CKIT:IMPort \"%s\"", name));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitRestore(ViSession vi, ViConstString repCapIdentifier, ViConstString name) {
    (void)repCapIdentifier;
    if (name == nullptr) return refuse(vi, 3, "Null address for Name");
    return send_once(vi, util::string_format(":SENSe:CORRection:CKIT:INITialize \"%s\"", name));
}

ZOR_API ViStatus ZOR_CALL ZOR_ChannelCalKitLoad(ViSession vi, ViConstString repCapIdentifier, ViConstString name) {
    (void)repCapIdentifier;
    if (name == nullptr) return refuse(vi, 3, "Null address for Name");
    return send_once(vi, util::string_format(":SENSe:CORRection:CKIT:LOAD \"%s\"", name));
}

}  // extern "C"
