#include "regex/match_facts.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>

namespace qmx {

namespace {

void normalise(Strings& strings) {
  std::sort(strings.begin(), strings.end());
  strings.erase(std::unique(strings.begin(), strings.end()), strings.end());
}

size_t shortest(const Strings& strings) {
  size_t length = SIZE_MAX;
  for (const std::string& s : strings) length = std::min(length, s.size());
  return length;
}

size_t longest(const Strings& strings) {
  size_t length = 0;
  for (const std::string& s : strings) length = std::max(length, s.size());
  return length;
}

// Which bytes of a joined string past kMaxFactBytes stay: the first ones of
// a prefix, the last ones of a suffix (any piece of a required string is
// required too).
enum class Keep { kStart, kEnd };

void clip(std::string& s, Keep keep) {
  if (s.size() <= kMaxFactBytes) return;
  if (keep == Keep::kStart) {
    s.resize(kMaxFactBytes);
  } else {
    s.erase(0, s.size() - kMaxFactBytes);
  }
}

// Every string of `a` followed by every string of `b`, each cut to
// kMaxFactBytes as `keep` says; unset when there would be more than
// `limit`. Appends in place when `b` holds one string.
std::optional<Strings> product(Strings a, const Strings& b, size_t limit, Keep keep) {
  if (a.size() * b.size() > limit) return std::nullopt;
  if (b.size() == 1) {
    for (std::string& s : a) {
      s += b[0];
      clip(s, keep);
    }
    normalise(a);
    return a;
  }
  Strings joined;
  joined.reserve(a.size() * b.size());
  for (const std::string& x : a) {
    for (const std::string& y : b) {
      joined.push_back(x + y);
      clip(joined.back(), keep);
    }
  }
  normalise(joined);
  return joined;
}

// The exact strings of `a` followed by `b`: unset when they would be too
// many or too long to stay exact.
std::optional<Strings> exactProduct(Strings a, const Strings& b) {
  if (a.size() * b.size() > kMaxExactStrings || longest(a) + longest(b) > kMaxFactBytes) {
    return std::nullopt;
  }
  return product(std::move(a), b, kMaxExactStrings, Keep::kStart);
}

// Whether `text` holds `piece`, in time linear in both: short pieces by the
// library's search, which is linear for them; longer ones by Knuth, Morris
// and Pratt's, where the library's could take the product of the lengths.
bool contains(const std::string& text, const std::string& piece) {
  constexpr size_t kShortPiece = 16;
  if (piece.size() <= kShortPiece) return text.find(piece) != std::string::npos;
  if (piece.size() > text.size()) return false;
  std::vector<size_t> border(piece.size(), 0);
  for (size_t i = 1, k = 0; i < piece.size(); ++i) {
    while (k > 0 && piece[i] != piece[k]) k = border[k - 1];
    if (piece[i] == piece[k]) ++k;
    border[i] = k;
  }
  for (size_t i = 0, k = 0; i < text.size(); ++i) {
    while (k > 0 && text[i] != piece[k]) k = border[k - 1];
    if (text[i] == piece[k]) ++k;
    if (k == piece.size()) return true;
  }
  return false;
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
    const bool implied = std::any_of(kept.begin(), kept.end(),
                                     [&s](const std::string& k) { return contains(s, k); });
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
  if (first.exact && second.exact) {
    // The joined strings hold every string either piece requires.
    out.exact = exactProduct(*first.exact, *second.exact);
    if (out.exact) return out;
  }
  const std::optional<Strings>& firstSuffix = suffixOf(first);
  const std::optional<Strings>& secondPrefix = prefixOf(second);
  out.required = requiredStrings(first);
  keepBetter(out.required, requiredStrings(second));
  // The end of one piece's match meets the start of the next one's.
  if (firstSuffix && secondPrefix) {
    keepBetter(out.required,
               asRequired(product(*firstSuffix, *secondPrefix, kMaxSetStrings, Keep::kStart)));
  }
  if (!second.exact) {
    out.suffix = second.suffix;
  } else if (firstSuffix) {
    out.suffix = product(*firstSuffix, *second.exact, kMaxSetStrings, Keep::kEnd);
    if (!out.suffix) out.suffix = second.exact;
  } else {
    out.suffix = second.exact;
  }
  if (!first.exact) {
    out.prefix = std::move(first.prefix);
  } else if (secondPrefix) {
    out.prefix = product(*first.exact, *secondPrefix, kMaxSetStrings, Keep::kStart);
    if (!out.prefix) out.prefix = std::move(first.exact);
  } else {
    out.prefix = std::move(first.exact);
  }
  return withEndsRequired(std::move(out));
}

MatchFacts eitherOf(const MatchFacts& a, const MatchFacts& b) {
  MatchFacts out;
  out.emptyable = a.emptyable || b.emptyable;
  if (a.exact && b.exact) {
    out.exact = unite(a.exact, b.exact, kMaxExactStrings);
    if (out.exact) return out;
  }
  out.prefix = unite(prefixOf(a), prefixOf(b), kMaxSetStrings);
  out.suffix = unite(suffixOf(a), suffixOf(b), kMaxSetStrings);
  out.required = asRequired(unite(requiredStrings(a), requiredStrings(b), kMaxSetStrings));
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
  // The strings of `reps` repetitions while they stay exact: a match of
  // `min` or more begins with one of them and ends with one. Each round
  // lengthens a string or adds one, unless none changes any more, so the
  // caps end the loop long before a large count does.
  std::optional<Strings> power;
  unsigned reps = 0;
  if (atom.exact) {
    Strings strings{""};
    while (reps < min) {
      std::optional<Strings> next = exactProduct(strings, *atom.exact);
      if (!next) break;
      const bool same = *next == strings;
      strings = std::move(*next);
      reps = same ? min : reps + 1;
    }
    if (reps == min && min == max) return matchesExactly(std::move(strings));
    if (reps > 0) power = std::move(strings);
  }
  // At least one repetition: the first begins the match and the last ends
  // it; with two or more, one's end meets the next one's start.
  MatchFacts out;
  out.emptyable = atom.emptyable;
  out.prefix = power ? power : prefixOf(atom);
  out.suffix = power ? power : suffixOf(atom);
  out.required = requiredStrings(atom);
  const std::optional<Strings>& atomPrefix = prefixOf(atom);
  const std::optional<Strings>& atomSuffix = suffixOf(atom);
  if (min >= 2 && atomPrefix && atomSuffix) {
    keepBetter(out.required,
               asRequired(product(*atomSuffix, *atomPrefix, kMaxSetStrings, Keep::kStart)));
  }
  return withEndsRequired(std::move(out));
}

}  // namespace qmx
