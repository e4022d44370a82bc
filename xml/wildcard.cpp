// Wildcard compare. One pass over the name with a single resume point for the
// last '*': each pattern element other than '*' consumes exactly one name
// character, so backing up to the last star is enough and the cost stays
// bounded by pattern length x name length.
#include "xml/wildcard.h"

#include <cstring>

namespace {

// Finds the ']' closing the set whose first member is at members (a ']' in
// the first position is a member). Null when the set is not closed.
const char* SetEnd(const char* members) {
  const char* search = *members == ']' ? members + 1 : members;
  return std::strchr(search, ']');
}

bool InSet(const char* members, const char* close, unsigned char c) {
  for (const char* m = members; m < close;) {
    auto low = static_cast<unsigned char>(m[0]);
    if (m + 2 < close && m[1] == '-' && low < static_cast<unsigned char>(m[2])) {
      if (c >= low && c <= static_cast<unsigned char>(m[2])) return true;
      m += 3;
    } else {
      if (c == low) return true;
      ++m;
    }
  }
  return false;
}

// Matches the pattern element at p (not '*') against c; next receives the
// position after the element.
bool ElementMatches(const char* p, char c, const char*& next) {
  if (*p == '?') {
    next = p + 1;
    return true;
  }
  if (*p == '[') {
    const char* members = p + 1;
    bool negate = *members == '!';
    if (negate) ++members;
    const char* close = *members ? SetEnd(members) : nullptr;
    if (close) {
      next = close + 1;
      return InSet(members, close, static_cast<unsigned char>(c)) != negate;
    }
    // An unclosed '[' is an ordinary character.
  }
  next = p + 1;
  return *p == c;
}

}  // namespace

bool WildcardMatch(const char* pattern, const char* name) {
  if (!pattern || !name) return false;
  const char* p = pattern;
  const char* n = name;
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*n) {
    if (*p == '*') {
      while (*p == '*') ++p;
      if (!*p) return true;
      starPattern = p;
      starName = n;
      continue;
    }
    const char* next = nullptr;
    if (*p && ElementMatches(p, *n, next)) {
      p = next;
      ++n;
      continue;
    }
    if (!starPattern) return false;
    p = starPattern;
    n = ++starName;
  }
  while (*p == '*') ++p;
  return *p == '\0';
}
