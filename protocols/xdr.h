// XDR, the encoding under ONC RPC: big-endian 32-bit words, opaque data and
// strings padded to whole words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorwire {

class xdr_writer_t {
public:
    xdr_writer_t& u32(std::uint32_t v) {
        const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
        out_.append(b, 4);
        return *this;
    }
    xdr_writer_t& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    xdr_writer_t& boolean(bool v) { return u32(v ? 1u : 0u); }
    // Variable-length opaque data or string: length, bytes, zero padding.
    xdr_writer_t& opaque(std::string_view bytes) {
        u32(static_cast<std::uint32_t>(bytes.size()));
        out_.append(bytes.data(), bytes.size());
        out_.append((4 - bytes.size() % 4) % 4, '\0');
        return *this;
    }
    std::string& bytes() { return out_; }

private:
    std::string out_;
};

// Reads never run past the end: a short or malformed body clears ok() and
// yields zeros, so callers check once at the end.
class xdr_reader_t {
public:
    xdr_reader_t() = default;
    explicit xdr_reader_t(std::string_view data) : data_(data) {}

    std::uint32_t u32() {
        if (!ok_ || data_.size() - pos_ < 4) return fail();
        const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
        pos_ += 4;
        return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    bool boolean() { return u32() != 0; }
    // Opaque data or a string of at most `max` bytes.
    std::string_view opaque(std::size_t max = ~std::size_t(0)) {
        const std::size_t n = u32();
        const std::size_t padded = n + (4 - n % 4) % 4;
        if (!ok_ || n > max || padded < n || data_.size() - pos_ < padded) {
            fail();
            return {};
        }
        const std::string_view out = data_.substr(pos_, n);
        pos_ += padded;
        return out;
    }
    void skip_opaque() { opaque(400); }  // credentials and verifiers (at most 400 bytes)
    bool ok() const { return ok_; }
    std::string_view rest() const { return data_.substr(pos_); }

private:
    std::uint32_t fail() {
        ok_ = false;
        return 0;
    }
    std::string_view data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace zorwire
