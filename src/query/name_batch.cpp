#include "query/name_batch.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "normalize/ascii_labels.h"
#include "normalize/normalize.h"
#include "normalize/utf8_check.h"

namespace vexlo {

void NameBatch::clear() noexcept {
    names_.clear();
    walk_.clear();
    arena_size_ = kWalkPadding;
}

void NameBatch::grow_arena(std::size_t needed) {
    const std::size_t capacity = std::max(needed, std::max<std::size_t>(arena_capacity_ * 2, 8192));
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (arena_ != nullptr) {
        std::memcpy(grown.get(), arena_.get(), arena_size_);
        for (WalkName& name : walk_) name.text = grown.get() + (name.text - arena_.get());
    }
    arena_ = std::move(grown);
    arena_capacity_ = capacity;
}

void NameBatch::add_null() { names_.push_back(Name{{}, 0, State::kNull, false}); }

void NameBatch::add_invalid() { names_.push_back(Name{{}, 0, State::kInvalid, false}); }

[[gnu::always_inline]] inline void NameBatch::add_valid(std::string_view given, bool ascii,
                                                        const char* lowered, std::size_t size,
                                                        std::size_t label_count,
                                                        std::uint64_t dots) {
    names_.push_back(Name{given, static_cast<std::uint32_t>(walk_.size()), State::kValid, ascii});
    walk_.push_back(WalkName{lowered, size, label_count, dots});
    arena_size_ += size + kWalkPadding;
}

// An ASCII name is lowered straight into the arena; any other is normalised
// on its own and its lowercase copied there.
template <bool kKnownUtf8>
void NameBatch::add_text(std::string_view text) {
    std::string_view given = text;
    if (!given.empty() && given.back() == '.') given.remove_suffix(1);
    if (given.empty()) return add_invalid();
    char* const place = reserve(given.size());
    LabelShape shape;
    switch (lower_ascii_labels(given.data(), given.size(), place, shape)) {
        case AsciiLabels::kValid:
            return add_valid(given, true, place, given.size(), shape.label_count, shape.dots);
        case AsciiLabels::kInvalid:
            return add_invalid();
        case AsciiLabels::kNotAscii:
            break;
    }
    std::optional<NormalizedDomain> normalized;
    if ((!kKnownUtf8 && !is_utf8(text)) || !(normalized = normalize_domain(text))) return add_invalid();
    const std::string_view lowered = normalized->lowered.view();
    char* const copy = reserve(lowered.size());
    std::memcpy(copy, lowered.data(), lowered.size());
    add_valid(normalized->given, false, copy, lowered.size(), normalized->label_count,
              normalized->dots);
}

template void NameBatch::add_text<false>(std::string_view text);
template void NameBatch::add_text<true>(std::string_view text);

void NameBatch::match(const RuleTables& tables, Switches switches) {
    lengths_.resize(walk_.size());
    public_suffix_lengths(tables, walk_, switches, lengths_.data());
}

void NameBatch::explain(const RuleTables& tables, bool accept_unknown) {
    verdicts_.resize(walk_.size());
    lengths_.resize(walk_.size());
    rule_verdicts(tables, walk_, accept_unknown, verdicts_.data());
    for (std::size_t i = 0; i < walk_.size(); ++i) lengths_[i] = verdicts_[i].public_length;
}

}  // namespace vexlo
