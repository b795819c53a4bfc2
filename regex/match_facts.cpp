#include "regex/match_facts.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>

namespace qmx {

namespace {

// Sets stay small: past these sizes a set is dropped, which only loses
// precision. Exact sets multiply when pieces follow each other, so they
// stay smaller than the others.
constexpr size_t kMaxExact = 16;
constexpr size_t kMaxSet = 64;

void normalise(Strings& strings) {
  std::sort(strings.begin(), strings.end());
  strings.erase(std::unique(strings.begin(), strings.end()), strings.end());
}

size_t shortest(const Strings& strings) {
  size_t length = SIZE_MAX;
  for (const std::string& s : strings) length = std::min(length, s.size());
  return length;
}

// Every string of `a` followed by every string of `b`; unset when there
// would be more than `limit`. Appends in place when `b` holds one string, so
// that a long literal grows byte by byte in linear time.
std::optional<Strings> product(Strings a, const Strings& b, size_t limit) {
  if (a.size() * b.size() > limit) return std::nullopt;
  if (b.size() == 1) {
    for (std::string& s : a) s += b[0];
    normalise(a);
    return a;
  }
  Strings joined;
  joined.reserve(a.size() * b.size());
  for (const std::string& x : a) {
    for (const std::string& y : b) joined.push_back(x + y);
  }
  normalise(joined);
  return joined;
}

std::optional<Strings> unite(const std::optional<Strings>& a, const std::optional<Strings>& b,
                             size_t limit) {
  if (!a || !b) return std::nullopt;
  Strings all = *a;
  all.insert(all.end(), b->begin(), b->end());
  normalise(all);
  if (all.size() > limit) return std::nullopt;
  return all;
}

// The set as a requirement: none may be empty, and a string that holds
// another of the set is implied by it.
std::optional<Strings> asRequired(const std::optional<Strings>& strings) {
  if (!strings || strings->empty() || shortest(*strings) == 0) return std::nullopt;
  Strings sorted = *strings;
  std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  Strings kept;
  for (std::string& s : sorted) {
    const bool implied = std::any_of(kept.begin(), kept.end(), [&s](const std::string& k) {
      return s.find(k) != std::string::npos;
    });
    if (!implied) kept.push_back(std::move(s));
  }
  normalise(kept);
  return kept;
}

// Keeps in `best` the more selective of it and `candidate`. Longer strings
// are rarer, but past a few bytes any string is rare in a chat message, and
// a set of fewer strings then is the better: it stays small enough to join
// the alternatives around it.
constexpr size_t kLongEnough = 4;

void keepBetter(std::optional<Strings>& best, std::optional<Strings> candidate) {
  if (!candidate) return;
  if (best) {
    auto rank = [](const Strings& strings) {
      const size_t length = shortest(strings);
      return std::make_tuple(std::min(length, kLongEnough),
                             -static_cast<std::ptrdiff_t>(strings.size()), length);
    };
    if (rank(*best) >= rank(*candidate)) return;
  }
  best = std::move(candidate);
}

// The longest string every string of `strings` begins with (`atEnd`: ends
// with).
std::string commonEnd(const Strings& strings, bool atEnd) {
  if (strings.empty()) return std::string();
  std::string common = strings.front();
  for (const std::string& s : strings) {
    size_t n = 0;
    const size_t limit = std::min(common.size(), s.size());
    if (atEnd) {
      while (n < limit && common[common.size() - 1 - n] == s[s.size() - 1 - n]) ++n;
      common.erase(0, common.size() - n);
    } else {
      while (n < limit && common[n] == s[n]) ++n;
      common.resize(n);
    }
  }
  return common;
}

const std::optional<Strings>& prefixOf(const MatchFacts& facts) {
  return facts.exact ? facts.exact : facts.prefix;
}

const std::optional<Strings>& suffixOf(const MatchFacts& facts) {
  return facts.exact ? facts.exact : facts.suffix;
}

// `facts` with its prefix and suffix counted among what is required: every
// match holds one of each set, and the string the whole set begins (or
// ends) with.
MatchFacts withEndsRequired(MatchFacts facts) {
  for (const auto* ends : {&facts.prefix, &facts.suffix}) {
    if (!*ends) continue;
    keepBetter(facts.required, asRequired(*ends));
    const std::string common = commonEnd(**ends, ends == &facts.suffix);
    if (!common.empty()) keepBetter(facts.required, Strings{common});
  }
  return facts;
}

}  // namespace

MatchFacts matchesExactly(Strings strings) {
  MatchFacts facts;
  normalise(strings);
  facts.emptyable = !strings.empty() && strings.front().empty();
  facts.exact = std::move(strings);
  return facts;
}

MatchFacts matchesAssertion() {
  MatchFacts facts = matchesExactly({""});
  facts.zeroWidth = true;
  return facts;
}

MatchFacts matchesUnknown() {
  return MatchFacts();
}

std::optional<Strings> requiredStrings(const MatchFacts& facts) {
  // Facts without an exact set carry their ends among the required ones.
  return facts.exact ? asRequired(facts.exact) : facts.required;
}

MatchFacts followedBy(MatchFacts first, const MatchFacts& second) {
  MatchFacts out;
  out.emptyable = first.emptyable && second.emptyable;
  if (first.exact && second.exact && first.exact->size() * second.exact->size() <= kMaxExact) {
    // The joined strings hold every string either piece requires.
    out.exact = product(std::move(*first.exact), *second.exact, kMaxExact);
    return out;
  }
  const std::optional<Strings>& firstSuffix = suffixOf(first);
  const std::optional<Strings>& secondPrefix = prefixOf(second);
  out.required = requiredStrings(first);
  keepBetter(out.required, requiredStrings(second));
  // The end of one piece's match meets the start of the next one's.
  if (firstSuffix && secondPrefix) {
    keepBetter(out.required, asRequired(product(*firstSuffix, *secondPrefix, kMaxSet)));
  }
  if (!first.exact) {
    out.prefix = first.prefix;
  } else if (secondPrefix) {
    out.prefix = product(*first.exact, *secondPrefix, kMaxSet);
    if (!out.prefix) out.prefix = first.exact;
  } else {
    out.prefix = first.exact;
  }
  if (!second.exact) {
    out.suffix = second.suffix;
  } else if (firstSuffix) {
    out.suffix = product(*firstSuffix, *second.exact, kMaxSet);
    if (!out.suffix) out.suffix = second.exact;
  } else {
    out.suffix = second.exact;
  }
  return withEndsRequired(std::move(out));
}

MatchFacts eitherOf(const MatchFacts& a, const MatchFacts& b) {
  MatchFacts out;
  out.emptyable = a.emptyable || b.emptyable;
  if (a.exact && b.exact) {
    out.exact = unite(a.exact, b.exact, kMaxExact);
    if (out.exact) return out;
  }
  out.prefix = unite(prefixOf(a), prefixOf(b), kMaxSet);
  out.suffix = unite(suffixOf(a), suffixOf(b), kMaxSet);
  out.required = asRequired(unite(requiredStrings(a), requiredStrings(b), kMaxSet));
  return withEndsRequired(std::move(out));
}

MatchFacts repeated(const MatchFacts& atom, unsigned min, unsigned max) {
  if (max == 0) return matchesExactly({""});
  if (min == 0) {
    MatchFacts out;
    out.emptyable = true;
    if (max == 1 && atom.exact) {
      Strings strings = *atom.exact;
      strings.push_back("");
      out = matchesExactly(std::move(strings));
    }
    return out;
  }
  if (atom.exact && min == max) {
    std::optional<Strings> power = Strings{""};
    for (unsigned i = 0; i < min && power; ++i)
      power = product(std::move(*power), *atom.exact, kMaxExact);
    if (power) return matchesExactly(std::move(*power));
  }
  // At least one repetition: the first begins the match and the last ends
  // it; with two or more, one's end meets the next one's start.
  MatchFacts out;
  out.emptyable = atom.emptyable;
  out.prefix = prefixOf(atom);
  out.suffix = suffixOf(atom);
  out.required = requiredStrings(atom);
  if (min >= 2 && out.prefix && out.suffix) {
    keepBetter(out.required, asRequired(product(*out.suffix, *out.prefix, kMaxSet)));
  }
  return withEndsRequired(std::move(out));
}

}  // namespace qmx
