// Wildcard compare of names: '?' one character, '*' any run, '[set]' with
// '!' negation and ranges. The whole name must be consumed by the whole
// pattern; the compare runs in time bounded by pattern length x name length.
#pragma once

bool WildcardMatch(const char* pattern, const char* name);
