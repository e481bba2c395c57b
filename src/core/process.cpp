#include "core/process.h"

#include "core/progress.h"
#include "core/remark.h"
#include "core/workspace.h"

namespace cw {

Rect process(Workspace& ws, const ProcessParams& params, Progress& progress) {
    WindowLock windows(progress);
    progress.begin(kPhasePreProcessing);
    progress.workCount = 0;
    if (params.recount) recountUncoloured(ws, progress);
    if (!ws.anchors.empty()) xSort(ws.anchors);
    progress.setPhase(kPhaseProcessing);
    progress.report(0);
    Rect shown = reMark(ws, ReMarkMode::Remove);
    progress.setPhase(kPhasePostProcessing);
    // Draws its own anchors and ends the progress display itself.
    if (params.markUp) shown = markUp(ws, *params.markUp, progress);
    windows.release();
    if (progress.visible()) progress.end();
    ws.imageModified = true;
    return shown;
}

} // namespace cw
