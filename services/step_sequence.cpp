#include "services/step_sequence.h"

#include "services/progress.h"

namespace tessarin {

void runSequenceSteps(const SequenceStep* steps, int32_t count, uint32_t stepDelay,
                      bool automatic) {
    for (int32_t i = 0; i < count; ++i) {
        const SequenceStep& step = steps[i];
        if (step.run && (!step.runsWhen || step.runsWhen())) step.run();
        if (step.statusAfter) {
            if (step.lingerBeforeStatus) lingerForStepDelay(stepDelay, automatic);
            showStatusMessage(step.statusAfter);
        }
        if (step.progressAfter >= 0) setProgress(step.progressAfter);
        if (step.lingerAfter) lingerForStepDelay(stepDelay, automatic);
    }
}

}  // namespace tessarin
