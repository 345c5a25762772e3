// The worker thread's run: title, blank/fixation/stimulus per trial, end screen, result file.
#include "run/trial_sequence.h"

#include "app/app.h"
#include "results/results.h"
#include "run/clock.h"
#include "run/handoff.h"
#include "stimuli/random15.h"

namespace {

int32_t RectWidth(const plat::Rect& rect) { return rect.right - rect.left; }
int32_t RectHeight(const plat::Rect& rect) { return rect.bottom - rect.top; }

// Copies the image's top-left part, of the stimulus rectangle's size, into the back buffer.
// Where a smaller image leaves part of the rectangle uncovered, that part shows the background.
void DrawImage(Presenter& presenter, plat::BitmapHandle bitmap, plat::BrushHandle background, bool select) {
    const plat::Rect& rect = presenter.stimulusRect;
    plat::SurfaceHandle back = BackBuffer(presenter);
    int32_t width = RectWidth(rect);
    int32_t height = RectHeight(rect);
    int32_t imageWidth = width;
    int32_t imageHeight = height;
    if (plat::BitmapSize(bitmap, &imageWidth, &imageHeight) && (imageWidth < width || imageHeight < height)) {
        plat::FillRect(back, rect, background);
        if (imageWidth < width) width = imageWidth;
        if (imageHeight < height) height = imageHeight;
    }
    if (select) plat::SelectBitmap(presenter.setup.imageDC, bitmap);
    plat::CopyRect(back, rect.left, rect.top, width, height, presenter.setup.imageDC, 0, 0);
}

// stamp + duration - now, in the modular arithmetic of the millisecond clock.
int32_t RemainingMs(uint32_t stampMs, int32_t durationMs, uint32_t nowMs) {
    return static_cast<int32_t>(stampMs + static_cast<uint32_t>(durationMs) - nowMs);
}

bool ShowTitle(Presenter& presenter, plat::BrushHandle background) {
    if (!TakePaintGate()) return false;
    plat::FillRect(presenter.backDC[presenter.frontIndex], presenter.clientRect, background);
    plat::FillRect(BackBuffer(presenter), presenter.clientRect, background);
    DrawImage(presenter, presenter.setup.titleBitmap, background, false);
    FlipBuffers(presenter, false);
    ReleasePaintGate();
    plat::RequestRepaint(presenter.hwnd, presenter.clientRect);
    return true;
}

bool WaitForStartKey(Presenter& presenter) {
    presenter.keyAnswer.store(kPending, std::memory_order_relaxed);
    while (presenter.keyAnswer.load(std::memory_order_acquire) == kPending) {
        if (StopRequested()) return false;
        plat::YieldThread();
    }
    return true;
}

bool ShowEndScreen(Presenter& presenter, plat::BrushHandle background) {
    if (!TakePaintGate()) return false;
    plat::FillRect(BackBuffer(presenter), presenter.stimulusRect, background);
    FlipBuffers(presenter, false);
    ReleasePaintGate();
    plat::RequestRepaint(presenter.hwnd, presenter.stimulusRect);
    return true;
}

// Everything up to the close request; false when the run was stopped (nothing written then).
bool RunSequence(Presenter& presenter, plat::BrushHandle background) {
    Setup& setup = presenter.setup;
    const plat::Rect& rect = presenter.stimulusRect;
    if (!ShowTitle(presenter, background)) return false;
    if (!WaitForStartKey(presenter)) return false;
    if (!WaitUntilMs(200)) return false;
    DrawImage(presenter, setup.blankBitmap, background, true);
    for (int32_t i = 0; i < presenter.trialCount; ++i) {
        Trial& trial = presenter.trials[i];
        uint32_t blankOnset, fixOnset, stimOnset;
        if (!Flip(presenter, rect) || !WaitForPaint(presenter, &blankOnset)) return false;
        DrawImage(presenter, setup.fixBitmap, background, true);
        uint32_t t = NowMs();
        const int32_t fixDur = ChooseFixationMs(setup.fixMs);
        if (!WaitUntilMs(RemainingMs(blankOnset, setup.blankMs, t))) return false;

        if (!Flip(presenter, rect) || !WaitForPaint(presenter, &fixOnset)) return false;
        DrawImage(presenter, trial.stimulus->bitmap, background, true);
        t = NowMs();
        if (!WaitUntilMs(RemainingMs(fixOnset, fixDur, t))) return false;

        if (!Flip(presenter, rect) || !WaitForPaint(presenter, &stimOnset)) return false;
        DrawImage(presenter, setup.blankBitmap, background, true);
        int32_t answer;
        uint32_t responseMs;
        if (!WaitForResponse(presenter, static_cast<uint32_t>(setup.limitMs), stimOnset, &answer, &responseMs))
            return false;
        trial.answer = answer;
        trial.rtMs = responseMs - stimOnset;
    }
    if (!ShowEndScreen(presenter, background)) return false;
    if (StopRequested()) return false;  // an abandoned run leaves no result file
    if (!WriteResults(presenter)) {
        plat::ShowMessageBox(presenter.hwnd, text::kResultSaveFailed, text::kCaptionError, plat::BoxIcon::Warning);
    }
    return WaitUntilMs(static_cast<int32_t>(static_cast<uint32_t>(setup.blankMs) * 2u));
}

}  // namespace

int32_t ChooseFixationMs(const std::vector<int32_t>& fixMs) {
    const int32_t r = Random15();
    if (fixMs.empty()) return 0;
    const auto index = static_cast<size_t>(r * (1.0 / 32768) * static_cast<double>(fixMs.size()));
    return fixMs[index];
}

void RunTrials(Presenter& presenter) {
    plat::SetCurrentThreadTimeCritical(true);
    plat::BrushHandle background =
        plat::CreateSolidBrush(presenter.bgColor[0], presenter.bgColor[1], presenter.bgColor[2]);
    const bool completed = RunSequence(presenter, background);
    plat::DeleteBrush(background);
    plat::SetCurrentThreadTimeCritical(false);
    if (completed) plat::RequestClose(presenter.hwnd);
}
