#include "terminal/engine/Regex.hpp"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace corvix {

struct Regex::Impl {
    std::unique_ptr<icu::RegexPattern> pattern;
};

Regex::Regex(std::unique_ptr<Impl> impl, int32_t workLimit) : impl_(std::move(impl)), workLimit_(workLimit) {}

Regex::~Regex() = default;

std::shared_ptr<const Regex> Regex::compile(std::u16string_view pattern, unsigned options, int32_t workLimit)
{
    uint32_t flags = 0;
    if (options & kCaseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
    if (options & kLiteral) flags |= UREGEX_LITERAL;
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    icu::UnicodeString source(false, pattern.data(), int32_t(pattern.size()));
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(source, flags, parseError, status));
    if (U_FAILURE(status) || !compiled) return nullptr;
    return std::shared_ptr<const Regex>(new Regex(std::make_unique<Impl>(Impl{std::move(compiled)}), workLimit));
}

void Regex::forEachMatch(std::u16string_view text, int32_t from, int32_t to,
                         const std::function<bool(Match)>& visit) const
{
    int32_t length = int32_t(text.size());
    from = std::clamp(from, 0, length);
    to = std::clamp(to, from, length);
    UErrorCode status = U_ZERO_ERROR;
    // A read-only alias: the text is not copied.
    icu::UnicodeString input(false, text.data(), length);
    std::unique_ptr<icu::RegexMatcher> matcher(impl_->pattern->matcher(input, status));
    if (U_FAILURE(status) || !matcher) return;
    matcher->setTimeLimit(workLimit_, status);
    matcher->region(from, to, status);
    if (U_FAILURE(status)) return;
    while (matcher->find(status) && U_SUCCESS(status)) {
        Match m{matcher->start(status), matcher->end(status)};
        if (U_FAILURE(status) || !visit(m)) return;
    }
}

std::optional<Regex::Match> Regex::firstMatch(std::u16string_view text, int32_t from, int32_t to) const
{
    std::optional<Match> first;
    forEachMatch(text, from, to, [&](Match m) {
        first = m;
        return false;
    });
    return first;
}

} // namespace corvix
