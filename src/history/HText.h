#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vimosync {

namespace detail {
// One reference-counted block of bytes that message texts point into: a whole file
// buffer, an arena chunk, or the bytes of one text that was assigned directly.
struct HBlock {
    std::atomic<std::uint32_t> refs{1};
    std::string bytes;
};
void retain(HBlock* b) noexcept;
void release(HBlock* b) noexcept;
} // namespace detail

// An immutable UTF-8 byte string that shares its storage. Loading a history makes
// every message text a view into the file buffer (or an arena), so that reading
// and copying messages allocates nothing per message. Assigning a std::string or
// a literal allocates a block of its own, which is the rare case (edits, tests).
class HText {
public:
    HText() noexcept = default;
    HText(std::string_view s);
    HText(const char* s) : HText(std::string_view(s)) {}
    HText(const std::string& s) : HText(std::string_view(s)) {}
    HText(const HText& o) noexcept : blk_(o.blk_), p_(o.p_), n_(o.n_) { detail::retain(blk_); }
    HText(HText&& o) noexcept : blk_(o.blk_), p_(o.p_), n_(o.n_) {
        o.blk_ = nullptr;
        o.p_ = nullptr;
        o.n_ = 0;
    }
    HText& operator=(const HText& o) noexcept;
    HText& operator=(HText&& o) noexcept;
    ~HText() { detail::release(blk_); }

    std::string_view view() const noexcept { return {p_ ? p_ : "", n_}; }
    operator std::string_view() const noexcept { return view(); }
    const char* data() const noexcept { return p_ ? p_ : ""; }
    std::size_t size() const noexcept { return n_; }
    bool empty() const noexcept { return n_ == 0; }
    std::string str() const { return std::string(view()); }
    // The first len bytes (at most size()), sharing this text's storage.
    HText prefix(std::size_t len) const noexcept {
        detail::retain(blk_);
        return HText(blk_, p_, len < n_ ? len : n_);
    }

    friend bool operator==(const HText& a, const HText& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const HText& a, std::string_view b) noexcept { return a.view() == b; }

private:
    friend class HStore;
    friend class HArena;
    HText(detail::HBlock* b, const char* p, std::size_t n) noexcept; // takes one reference

    detail::HBlock* blk_ = nullptr;
    const char* p_ = nullptr;
    std::uint32_t n_ = 0;
};

// Owner of one shared block, typically a whole file read into memory. The bytes can
// be changed in place (unscrambling) until slices are handed out.
class HStore {
public:
    HStore() = default;
    explicit HStore(std::string&& bytes);
    HStore(const HStore&) = delete;
    HStore& operator=(const HStore&) = delete;
    HStore(HStore&& o) noexcept : blk_(o.blk_) { o.blk_ = nullptr; }
    HStore& operator=(HStore&& o) noexcept;
    ~HStore() { detail::release(blk_); }

    char* data() noexcept;
    std::size_t size() const noexcept;
    // A text that points at [off, off + len) of the block and keeps the block alive.
    HText slice(std::size_t off, std::size_t len) const noexcept;
    HText slice(const char* p, std::size_t len) const noexcept;

private:
    detail::HBlock* blk_ = nullptr;
};

// Appends texts into chunks of shared storage: texts built while loading (line breaks
// repaired, lines joined) cost one allocation per chunk, not one per message.
class HArena {
public:
    explicit HArena(std::size_t chunkSize = 256 * 1024) : chunk_(chunkSize) {}
    HArena(const HArena&) = delete;
    HArena& operator=(const HArena&) = delete;
    ~HArena() { detail::release(cur_); }

    HText add(std::string_view s);

    // Building one text piece by piece: begin(), append() any number of times, finish().
    void begin();
    void append(std::string_view s);
    HText finish();

private:
    void reserve(std::size_t n);
    std::size_t chunk_;
    detail::HBlock* cur_ = nullptr;
    std::size_t used_ = 0;  // bytes of the current chunk in use
    std::size_t start_ = 0; // start of the text being built
    bool building_ = false;
};

} // namespace vimosync
