// The layout procedures absorb host failures one statement at a time. These two helpers are the
// whole of that policy, so that a procedure reads as its statements in order.
#pragma once

#include "hostmodel/error.h"

namespace tolvane::host {

// Runs one statement; a host failure abandons that statement only.
template <class Statement>
void guarded(Statement&& statement) {
  try {
    statement();
  } catch (const HostError&) {
  }
}

// Evaluates one test; a test whose evaluation fails counts as met, so what it guards runs.
template <class Test>
bool guardedTest(Test&& test) {
  try {
    return test();
  } catch (const HostError&) {
    return true;
  }
}

}  // namespace tolvane::host
