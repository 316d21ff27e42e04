// Action exports of the mass memory: folders, file copy, rename and delete,
// state, limit and screen files, catalogs, file dates, and file transfer
// between the computer and the instrument as definite-length blocks.
#include <algorithm>
#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

#include "adapter/keyword_tables.h"
#include "functions/action.h"
#include "io/visa_library.h"

using namespace qvdriver;
using namespace qvdriver::functions;

namespace {

// A block header has one digit for the length's digit count, so nine
// length digits at most: this is the largest block that can be described.
constexpr std::size_t max_block_bytes = 999999999;
constexpr std::size_t read_chunk = 64 * 1024;
// Bytes after a block, up to its terminator, that are read and dropped.
constexpr std::size_t max_trailing_bytes = 1u << 20;

const char* const null_buffer = "Null address for Buffer";

// Records `message` in the session's error record; returns `status`.
status_t fault(ViSession vi, status_t status, const std::string& message) {
    engine::set_error_info(vi, false, status, 0, message.c_str());
    return status;
}

// The "Parameter <position> invalid" status, recorded with `message`.
status_t invalid_argument(ViSession vi, ViInt32 position, const std::string& message) {
    return fault(vi, engine::param_position_error(position), message);
}

// A name goes out as a SCPI string (quotes inside doubled); a control
// character is refused before anything is sent.
status_t check_name(ViSession vi, ViConstString name, ViInt32 position, const char* what) {
    return check_text(vi, position, name, what);
}

// The caller's buffer is checked before anything is sent, so a call that
// could not return its text leaves the instrument alone.
status_t check_buffer(ViSession vi, ViInt32 size, const ViChar* buffer, ViInt32 position) {
    if (buffer == nullptr) return null_argument(vi, position, null_buffer);
    return size < 1 ? leave_error_record(vi, zor_error_buffer_size) : 0;
}

const std::string* file_type_keyword(ViInt32 type) {
    const auto found = zor_adapter::file_type_keywords.find(type);
    return found == zor_adapter::file_type_keywords.end() ? nullptr : &found->second;
}

// One command holding one name.
ViStatus name_command(ViSession vi, const char* format, ViConstString name, const char* what) {
    const status_t checked = check_name(vi, name, 2, what);
    if (checked != 0) return checked;
    return locked(vi, [&](session_scope_t& scope) {
        return send(scope, util::string_format(format, util::scpi_string(name).c_str()));
    });
}

// One command holding two names.
ViStatus names_command(ViSession vi, const char* format, ViConstString first, const char* first_what,
                       ViConstString second, const char* second_what) {
    status_t checked = check_name(vi, first, 2, first_what);
    if (checked == 0) checked = check_name(vi, second, 3, second_what);
    if (checked != 0) return checked;
    return locked(vi, [&](session_scope_t& scope) {
        return send(scope,
                    util::string_format(format, util::scpi_string(first).c_str(), util::scpi_string(second).c_str()));
    });
}

// One command of a file type and a name.
ViStatus typed_command(ViSession vi, const char* format, ViConstString file, ViInt32 type) {
    const status_t checked = check_name(vi, file, 2, "File");
    if (checked != 0) return checked;
    const std::string* keyword = file_type_keyword(type);
    if (keyword == nullptr) return leave_error_record(vi, zor_error_keyword);
    return locked(vi, [&](session_scope_t& scope) {
        return send(scope, util::string_format(format, keyword->c_str(), util::scpi_string(file).c_str()));
    });
}

// The catalog reply without surrounding white space and quotes.
ViStatus catalog(ViSession vi, const std::string& command, ViInt32 size, ViChar buffer[]) {
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        status_t status = 0;
        std::string reply;
        if (scope.api.text_query(status, command, reply) < 0) return status;
        util::trim(reply, util::white_space);
        util::trim(reply, "\"");
        if (reply.empty()) reply = "NO CATALOG";
        return util::copy_to_buffer(buffer, size, reply);
    });
}

enum class local_read_t { ok, unreadable, too_large };

// The whole file in binary mode; its size is checked before any allocation.
local_read_t read_local_file(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) return local_read_t::unreadable;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0 || !file) return local_read_t::unreadable;
    if (static_cast<unsigned long long>(size) > max_block_bytes) return local_read_t::too_large;
    file.seekg(0, std::ios::beg);
    bytes.resize(static_cast<std::size_t>(size));
    if (size > 0) file.read(&bytes[0], static_cast<std::streamsize>(size));
    if (!file || file.gcount() != static_cast<std::streamsize>(size)) return local_read_t::unreadable;
    // A file that grew since its size was taken would be cut without notice.
    if (file.peek() != std::char_traits<char>::eof()) return local_read_t::unreadable;
    return local_read_t::ok;
}

// Reads the reply of the session `io` until `data` holds `target` bytes or
// the reply ends (`ended`). Nothing is reserved from what the instrument
// claims: the data grow only by what arrives.
status_t read_until(ViSession io, std::string& data, std::size_t target, bool& ended) {
    const auto& visa = visa::api();
    std::vector<ViByte> buffer(read_chunk);
    int idle = 0;
    while (!ended && data.size() < target) {
        const ViUInt32 ask = static_cast<ViUInt32>(std::min(target - data.size(), read_chunk));
        ViUInt32 got = 0;
        const ViStatus status = visa.viRead(io, buffer.data(), ask, &got);
        if (status < 0) return status;
        if (got > ask) got = ask;
        data.append(reinterpret_cast<const char*>(buffer.data()), got);
        // A line feed inside the data stops a read at the termination
        // character; only END ends the reply.
        if (status == VI_SUCCESS) ended = true;
        // A read that neither ends nor delivers would spin for ever.
        idle = got == 0 ? idle + 1 : 0;
        if (idle >= 3) return VI_ERROR_IO;
    }
    return 0;
}

// Reads and drops the rest of a reply (the terminator after a block), so the
// next query does not find it; bounded.
void drop_rest(ViSession io, bool ended) {
    const auto& visa = visa::api();
    ViByte buffer[256];
    for (std::size_t dropped = 0; !ended && dropped < max_trailing_bytes; dropped += sizeof buffer) {
        ViUInt32 got = 0;
        const ViStatus status = visa.viRead(io, buffer, sizeof buffer, &got);
        if (status < 0 || status == VI_SUCCESS || status == VI_SUCCESS_TERM_CHAR || got == 0) return;
    }
}

// Reads one definite-length block reply by its length, so data bytes that
// happen to be white space at the end are kept. A reply that is not a whole
// block is a fault: silently padding or emptying it would leave a file that
// looks right and is not.
status_t read_block(ViSession vi, ViSession io, std::string& data) {
    const status_t not_block = VI_ERROR_INV_LENGTH;
    std::string head;
    bool ended = false;
    status_t status = read_until(io, head, 2, ended);
    if (status < 0) return status;
    if (head.size() < 2 || head[0] != '#' || head[1] < '0' || head[1] > '9') {
        drop_rest(io, ended);
        return fault(vi, not_block, "The reply is not a definite-length block");
    }
    const std::size_t digits = static_cast<std::size_t>(head[1] - '0');
    if (digits == 0) {
        // Indefinite length: everything up to END, less the terminator.
        status = read_until(io, data, max_block_bytes + 2, ended);
        if (status < 0) return status;
        if (!ended) {
            drop_rest(io, ended);
            return fault(vi, not_block, "The block is longer than 999999999 bytes");
        }
        if (!data.empty() && data.back() == '\n') data.pop_back();
        return 0;
    }
    std::string count;
    status = read_until(io, count, digits, ended);
    if (status < 0) return status;
    if (count.size() != digits || count.find_first_not_of("0123456789") != std::string::npos) {
        drop_rest(io, ended);
        return fault(vi, not_block, "The block header holds no byte count");
    }
    const std::size_t length = static_cast<std::size_t>(std::stoull(count));
    data.reserve(std::min(length, read_chunk));
    status = read_until(io, data, length, ended);
    if (status < 0) return status;
    if (data.size() < length) {
        return fault(vi, not_block,
                     util::string_format("The block ended after %lu of %lu bytes", static_cast<unsigned long>(data.size()),
                                         static_cast<unsigned long>(length)));
    }
    // The terminator follows the block's bytes: a reply that ends on the
    // block's last byte, a line feed, was one byte short and that line feed
    // is the terminator, not data.
    if (ended && length > 0 && data.back() == '\n') {
        return fault(vi, not_block,
                     util::string_format("The block ended after %lu of %lu bytes", static_cast<unsigned long>(length - 1),
                                         static_cast<unsigned long>(length)));
    }
    drop_rest(io, ended);
    return 0;
}

}  // namespace

extern "C" {

ZOR_API ViStatus ZOR_CALL ZOR_MemoryCreateDirectory(ViSession vi, ViConstString directory) {
    return name_command(vi, ":MMEMory:MDIRectory %s", directory, "Directory");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryRemoveDirectory(ViSession vi, ViConstString directory) {
    return name_command(vi, ":MMEMory:RDIRectory %s", directory, "Directory");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemorySelectDirectory(ViSession vi, ViConstString directory) {
    return name_command(vi, ":MMEMory:CDIRectory %s", directory, "Directory");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryGetCurrentDirectory(ViSession vi, ViInt32 bufferSize, ViChar buffer[]) {
    const status_t checked = check_buffer(vi, bufferSize, buffer, 3);
    if (checked != 0) return checked;
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        status_t status = 0;
        std::string reply;
        if (scope.api.text_query(status, ":MMEMory:CDIRectory?", reply) < 0) return status;
        return util::copy_to_buffer(buffer, bufferSize, reply);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryCopy(ViSession vi, ViConstString source, ViConstString destination) {
    return names_command(vi, ":MMEMory:COPY %s,%s", source, "Source", destination, "Destination");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryRename(ViSession vi, ViConstString oldName, ViConstString newName) {
    return names_command(vi, ":MMEMory:MOVE %s,%s", oldName, "Old Name", newName, "New Name");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryDelete(ViSession vi, ViConstString file) {
    return name_command(vi, ":MMEMory:DELete %s", file, "File");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryLoadFile(ViSession vi, ViConstString file) {
    return name_command(vi, ":MMEMory:LOAD %s", file, "File");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryStoreFile(ViSession vi, ViConstString file) {
    return name_command(vi, ":MMEMory:STORe %s", file, "File");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryLoadFileOfSpecifiedFileType(ViSession vi, ViConstString file, ViInt32 fileType) {
    return typed_command(vi, ":MMEMory:LOAD:%s %s", file, fileType);
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryStoreFileOfSpecifiedFileType(ViSession vi, ViConstString file, ViInt32 fileType) {
    return typed_command(vi, ":MMEMory:STORe:%s %s", file, fileType);
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryLoadLimitTestData(ViSession vi, ViConstString file) {
    return name_command(vi, ":MMEMory:LOAD:LIMit %s", file, "File");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemorySaveLimitTestData(ViSession vi, ViConstString file) {
    return name_command(vi, ":MMEMory:STORe:LIMit %s", file, "File");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryLoadRippleLimitTestData(ViSession vi, ViConstString file) {
    return name_command(vi, ":MMEMory:LOAD:RLIMit %s", file, "File");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemorySaveRippleLimitTestData(ViSession vi, ViConstString file) {
    return name_command(vi, ":MMEMory:STORe:RLIMit %s", file, "File");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemorySaveScreenDump(ViSession vi, ViConstString file) {
    return name_command(vi, ":MMEMory:STORe:IMAGe %s", file, "File");
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryGetCatalog(ViSession vi, ViConstString directory, ViInt32 bufferSize,
                                               ViChar buffer[]) {
    status_t checked = check_name(vi, directory, 2, "Directory");
    if (checked == 0) checked = check_buffer(vi, bufferSize, buffer, 4);
    if (checked != 0) return checked;
    return catalog(vi, ":MMEMory:CATalog? " + util::scpi_string(directory), bufferSize, buffer);
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryGetCatalogOfSpecifiedFileType(ViSession vi, ViInt32 fileType,
                                                                  ViConstString directory, ViInt32 bufferSize,
                                                                  ViChar buffer[]) {
    status_t checked = check_name(vi, directory, 3, "Directory");
    if (checked == 0) checked = check_buffer(vi, bufferSize, buffer, 5);
    if (checked != 0) return checked;
    const std::string* keyword = file_type_keyword(fileType);
    if (keyword == nullptr) return leave_error_record(vi, zor_error_keyword);
    return catalog(vi, ":MMEMory:CATalog:" + *keyword + "? " + util::scpi_string(directory), bufferSize,
                   buffer);
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryQueryDateTime(ViSession vi, ViConstString file, ViInt32 bufferSize,
                                                  ViChar buffer[]) {
    status_t checked = check_name(vi, file, 2, "File");
    if (checked == 0) checked = check_buffer(vi, bufferSize, buffer, 4);
    if (checked != 0) return checked;
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        status_t status = 0;
        std::string date, time;
        if (scope.api.text_query(status, ":MMEMory:DATE? " + util::scpi_string(file), date) < 0) return status;
        if (scope.api.text_query(status, ":MMEMory:TIME? " + util::scpi_string(file), time) < 0) return status;
        util::trim(date, util::white_space);
        util::trim(time, util::white_space);
        const auto d = split_at_commas(date);
        const auto t = split_at_commas(time);
        std::string text;
        if (d.size() == 3 && t.size() == 3)
            text = d[0] + "/" + d[1] + "/" + d[2] + "\t" + t[0] + ":" + t[1] + ":" + t[2];
        return util::copy_to_buffer(buffer, bufferSize, text);
    });
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryDownloadData(ViSession vi, ViConstString instrumentFile, ViConstString source) {
    const status_t checked = check_name(vi, instrumentFile, 2, "Instrument File");
    if (checked != 0) return checked;
    if (source == nullptr) return null_argument(vi, 3, "Null address for Source");
    std::string command = ":MMEMory:TRANsfer " + util::scpi_string(instrumentFile) + ",";
    if (source[0] == '#') {
        command += source;  // a block made by the caller
    } else {
        // A file that cannot be read is refused: sending the command without
        // data would report success for a transfer that never happened.
        std::string bytes;
        const local_read_t read = read_local_file(source, bytes);
        if (read == local_read_t::unreadable)
            return invalid_argument(vi, 3, std::string("Cannot read the file ") + source);
        if (read == local_read_t::too_large)
            return invalid_argument(vi, 3, "The file is larger than a block can describe (999999999 bytes)");
        util::make_block(bytes);
        command += bytes;
    }
    // The terminator closes the message after the block: without it a block
    // whose last data byte is a line feed would lose that byte to the
    // message end, and a socket listener would wait for the end for ever.
    command += '\n';
    return locked(vi, [&](session_scope_t& scope) { return send(scope, command); });
}

ZOR_API ViStatus ZOR_CALL ZOR_MemoryUploadData(ViSession vi, ViConstString instrumentFile,
                                               ViConstString destinationPath) {
    const status_t checked = check_name(vi, instrumentFile, 2, "Instrument File");
    if (checked != 0) return checked;
    if (destinationPath == nullptr) return null_argument(vi, 3, "Null address for Destination Path");
    return locked(vi, [&](session_scope_t& scope) -> ViStatus {
        status_t status = send(scope, ":MMEMory:TRANsfer? " + util::scpi_string(instrumentFile));
        if (status < 0) return status;
        std::string data;
        status = read_block(vi, scope.api.resource.io, data);
        // The destination is touched only once the whole block is in hand.
        if (status < 0) return status;
        if (!util::write_file(destinationPath, data))
            return invalid_argument(vi, 3, std::string("Cannot write the file ") + destinationPath);
        return 0;
    });
}

}  // extern "C"
