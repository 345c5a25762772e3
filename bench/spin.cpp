// A busy loop that never ends: a load process for the benchmark, or, under SCHED_IDLE, a waker.
//
// Under SCHED_IDLE (chrt -i 0) it runs only when nothing else wants its processor, which keeps
// that virtual processor from halting and taking milliseconds to wake for the program under test.
#include <cstdint>

int main() {
    volatile uint64_t counter = 0;
    for (;;) counter = counter + 1;
}
