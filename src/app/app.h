// What the platform's window code calls in the program, and the texts it shows.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Virtual-key code of Escape, which closes the program.
inline constexpr uint32_t kKeyEscape = 0x1B;

// Window creation: builds the Presenter (showing any start-up messages) and starts the run.
void AppWindowCreated(plat::WindowHandle window);
// One paint request of the window.
void AppPaint();
// One key-down (repeats included) with its virtual-key code.
void AppKeyDown(plat::WindowHandle window, uint32_t virtualKey);
// The window is gone: the run is asked to stop.
void AppWindowDestroyed();
// After the message loop: waits for the worker, then releases the Presenter.
void AppShutdown();

namespace text {
inline constexpr const char* kWindowCreationFailed = "ウィンドウの作成に失敗しました";
inline constexpr const char* kSetupError = "設定ファイルエラーです";
inline constexpr const char* kDataPreparationError = "データ準備エラーです";
inline constexpr const char* kTitleLoadFailed = "タイトル画像のロードに失敗しました";
inline constexpr const char* kBlankLoadFailed = "ブランク画像のロードに失敗しました";
inline constexpr const char* kFixLoadFailed = "凝視点画像のロードに失敗しました";
inline constexpr const char* kTrialLoadFailed = "試行画像のロードに失敗しました";
inline constexpr const char* kResultSaveFailed = "結果ファイルの保存に失敗しました";
inline constexpr const char* kCaptionError = "エラー";
inline constexpr const char* kCaptionErrorAscii = "error";
}  // namespace text
