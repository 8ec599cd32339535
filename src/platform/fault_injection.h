// Test builds can make the n-th call of a platform operation fail, to prove
// that every failure gives its message and leaves nothing behind:
//   FFTEXT_FAIL=write:3      the third write fails
//   FFTEXT_FAIL=dialog:2     the second file dialog fails (Windows; the path
//                            chosen in it is taken for a failed call)
// Only builds configured with FFTEXT_FAULTS read the variable; in others
// nothing ever fails on purpose.
#pragma once

enum class Operation { open, size, allocate, read, create, write, close, dialog };

#ifdef FFTEXT_FAULTS
bool injected_failure(Operation operation);
#else
inline bool injected_failure(Operation) { return false; }
#endif
