#include "history/HText.h"

#include "support/HeapReuse.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace vimosync {

namespace detail {
void retain(HBlock* b) noexcept {
    if (b) {
        b->refs.fetch_add(1, std::memory_order_relaxed);
    }
}
void release(HBlock* b) noexcept {
    if (b && b->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        // A whole file buffer of a large history serves the next one.
        TSpareBuffers<std::string>::Instance().Give(std::move(b->bytes));
        delete b;
    }
}
} // namespace detail

namespace {
std::uint32_t checkedLength(std::size_t n) {
    if (n > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("text longer than 4 GiB");
    }
    return static_cast<std::uint32_t>(n);
}
} // namespace

HText::HText(std::string_view s) {
    if (s.empty()) {
        return;
    }
    n_ = checkedLength(s.size());
    blk_ = new detail::HBlock;
    blk_->bytes.assign(s);
    p_ = blk_->bytes.data();
}

HText::HText(detail::HBlock* b, const char* p, std::size_t n) noexcept
    : blk_(b), p_(p), n_(static_cast<std::uint32_t>(n)) {}

HText& HText::operator=(const HText& o) noexcept {
    if (this != &o) {
        detail::retain(o.blk_);
        detail::release(blk_);
        blk_ = o.blk_;
        p_ = o.p_;
        n_ = o.n_;
    }
    return *this;
}

HText& HText::operator=(HText&& o) noexcept {
    if (this != &o) {
        detail::release(blk_);
        blk_ = std::exchange(o.blk_, nullptr);
        p_ = std::exchange(o.p_, nullptr);
        n_ = std::exchange(o.n_, 0);
    }
    return *this;
}

HStore::HStore(std::string&& bytes) : blk_(new detail::HBlock) {
    blk_->bytes = std::move(bytes);
}

HStore& HStore::operator=(HStore&& o) noexcept {
    if (this != &o) {
        detail::release(blk_);
        blk_ = std::exchange(o.blk_, nullptr);
    }
    return *this;
}

char* HStore::data() noexcept {
    return blk_ ? blk_->bytes.data() : nullptr;
}

std::size_t HStore::size() const noexcept {
    return blk_ ? blk_->bytes.size() : 0;
}

HText HStore::slice(std::size_t off, std::size_t len) const noexcept {
    if (!blk_ || len == 0) {
        return {};
    }
    detail::retain(blk_);
    return HText(blk_, blk_->bytes.data() + off, len);
}

HText HStore::slice(const char* p, std::size_t len) const noexcept {
    if (!blk_ || len == 0) {
        return {};
    }
    return slice(static_cast<std::size_t>(p - blk_->bytes.data()), len);
}

// Chunks are sized once and written with memcpy, so texts handed out earlier never move.
void HArena::reserve(std::size_t n) {
    if (cur_ && cur_->bytes.size() - used_ >= n) {
        return;
    }
    const std::size_t carried = building_ && cur_ ? used_ - start_ : 0;
    auto* next = new detail::HBlock;
    next->bytes.resize(std::max(chunk_, n + carried));
    if (carried) {
        std::memcpy(next->bytes.data(), cur_->bytes.data() + start_, carried);
    }
    detail::release(cur_);
    cur_ = next;
    start_ = 0;
    used_ = carried;
}

HText HArena::add(std::string_view s) {
    if (s.empty()) {
        return {};
    }
    checkedLength(s.size());
    reserve(s.size());
    char* p = cur_->bytes.data() + used_;
    std::memcpy(p, s.data(), s.size());
    used_ += s.size();
    detail::retain(cur_);
    return HText(cur_, p, s.size());
}

void HArena::begin() {
    building_ = true;
    start_ = used_;
}

void HArena::append(std::string_view s) {
    if (s.empty()) {
        return;
    }
    reserve(s.size());
    std::memcpy(cur_->bytes.data() + used_, s.data(), s.size());
    used_ += s.size();
}

HText HArena::finish() {
    if (!building_) {
        return {};
    }
    building_ = false;
    const std::size_t len = cur_ ? used_ - start_ : 0;
    if (len == 0) {
        return {};
    }
    checkedLength(len);
    detail::retain(cur_);
    return HText(cur_, cur_->bytes.data() + start_, len);
}

} // namespace vimosync
