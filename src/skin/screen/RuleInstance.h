#pragma once
// The one instance of a stateless screen rule class (zoom, aspect ratio), made on first request.
// Never destroyed: screens and the current-rule pointer may be used during static teardown.
// Threads: user-interface thread only.
template <class Rule> Rule& RuleInstance() {
    static Rule* const rule = new Rule;
    return *rule;
}
