#include "run_state.h"

RunState& CurrentRun() {
    static RunState run;
    return run;
}
