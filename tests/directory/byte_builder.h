#pragma once

// Test helpers for binary values: a builder that lays fields at byte offsets, a heap copy of
// exactly a value's size (so the sanitizer sees any read past its end), and a scoped time zone.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace era::testing {

class TByteBuilder {
public:
    TByteBuilder& U8(std::size_t at, std::uint8_t v) {
        Grow(at + 1);
        bytes_[at] = v;
        return *this;
    }
    TByteBuilder& U16(std::size_t at, std::uint16_t v) {
        U8(at, static_cast<std::uint8_t>(v));
        return U8(at + 1, static_cast<std::uint8_t>(v >> 8));
    }
    TByteBuilder& U32(std::size_t at, std::uint32_t v) {
        U16(at, static_cast<std::uint16_t>(v));
        return U16(at + 2, static_cast<std::uint16_t>(v >> 16));
    }
    // The characters, then a zero byte unless terminate is false.
    TByteBuilder& Text(std::size_t at, const std::string& text, bool terminate = true) {
        for (std::size_t i = 0; i < text.size(); ++i)
            U8(at + i, static_cast<std::uint8_t>(text[i]));
        if (terminate) U8(at + text.size(), 0);
        return *this;
    }
    // ASCII text as UTF-16LE, then a zero unit unless terminate is false.
    TByteBuilder& Wide(std::size_t at, const std::string& text, bool terminate = true) {
        for (std::size_t i = 0; i < text.size(); ++i)
            U16(at + 2 * i, static_cast<std::uint8_t>(text[i]));
        if (terminate) U16(at + 2 * text.size(), 0);
        return *this;
    }
    TByteBuilder& Append(const std::vector<std::uint8_t>& more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }
    TByteBuilder& Size(std::size_t size) {
        bytes_.resize(size, 0);
        return *this;
    }
    std::size_t Length() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    void Grow(std::size_t size) {
        if (bytes_.size() < size) bytes_.resize(size, 0);
    }
    std::vector<std::uint8_t> bytes_;
};

// A copy of (a prefix of) the bytes in a heap block of exactly that size.
class TExactBytes {
public:
    explicit TExactBytes(const std::vector<std::uint8_t>& bytes, std::size_t count = SIZE_MAX)
        : size_(std::min(count, bytes.size())), block_(new std::uint8_t[size_ == 0 ? 1 : size_]) {
        std::copy_n(bytes.begin(), size_, block_.get());
    }
    std::span<const std::uint8_t> Span() const { return {block_.get(), size_}; }

private:
    std::size_t size_;
    std::unique_ptr<std::uint8_t[]> block_;
};

// Sets TZ for the lifetime of the object and restores what was there.
class TScopedTimeZone {
public:
    explicit TScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TScopedTimeZone() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TScopedTimeZone(const TScopedTimeZone&) = delete;
    TScopedTimeZone& operator=(const TScopedTimeZone&) = delete;

private:
    std::optional<std::string> old_;
};

constexpr const char* CentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* Utc = "UTC0";

} // namespace era::testing
