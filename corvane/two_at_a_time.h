// Runs many independent file-system calls two at a time. Under Wine each such call (a
// rename, a close) is one round trip to the Wine server, and most of its time goes to
// waiting: for the server to wake and for its answer to come back. With two calls in
// flight the server goes from one straight to the next: the renames of a cabinet of small
// files into folders that are there already take some 40 % less time.
#pragma once

#include <cstddef>
#include <functional>

// Calls step(0) to step(count - 1), each once, in no particular order: on this thread
// and, when there are many, on one helper thread beside it. Returns when all are done.
void TwoAtATime(std::size_t count, const std::function<void(std::size_t)>& step);
