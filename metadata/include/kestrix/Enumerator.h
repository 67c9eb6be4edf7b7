// Range-for over the library's enumerators: anything with MoveNext() and
// Current() becomes an input range.
#pragma once

#include <cstddef>
#include <iterator>
#include <optional>
#include <utility>

namespace Kestrix::Exif {

// An input iterator that owns an enumerator. Only comparison with the end
// sentinel is meaningful, as with any single-pass range.
template <typename TEnumerator> class TEnumeratorIterator {
public:
    using difference_type = std::ptrdiff_t;
    using value_type = std::remove_cvref_t<decltype(std::declval<TEnumerator&>().Current())>;

    TEnumeratorIterator() = default;
    explicit TEnumeratorIterator(TEnumerator enumerator) : FEnumerator(std::move(enumerator)) {
        Advance();
    }

    decltype(auto) operator*() const { return FEnumerator->Current(); }
    TEnumeratorIterator& operator++() {
        Advance();
        return *this;
    }
    void operator++(int) { Advance(); }
    friend bool operator==(const TEnumeratorIterator& it, std::default_sentinel_t) {
        return !it.FEnumerator;
    }

private:
    void Advance() {
        if (FEnumerator && !FEnumerator->MoveNext()) {
            FEnumerator.reset();
        }
    }

    mutable std::optional<TEnumerator> FEnumerator;
};

} // namespace Kestrix::Exif
