// The worker that runs one conversion: the stages in order on its own thread, each progress
// report shown on the main thread, a cancel request turned into EUserCancel, errors and the
// locked-output question put to the user. Created suspended, started once, never reused.
#pragma once

#include "job/chm_to_doc_pdf.h"
#include "job/progress_controls.h"
#include "platform/thread.h"
#include "platform/user_interface.h"

#include <atomic>
#include <memory>
#include <string>

namespace quillet {

class TOutputWord final : public Thread {
public:
    // Owns a fresh conversion object (or `job`, for a test double) and binds its events to this
    // worker. `ui` shows the job's messages on the main thread and must outlive the worker.
    TOutputWord(bool CreateSuspended, UserInterface& ui);
    TOutputWord(bool CreateSuspended, UserInterface& ui, std::unique_ptr<TChmToDocPDF> job);
    // Waits for the thread (serving its calls) before the conversion object is freed.
    ~TOutputWord() override;

    // Main thread: asks the worker to stop and waits until it has ended. The worker notices the
    // request at its next progress report, after that report has updated the display.
    void StopIt();

    // Event handlers; called on the worker thread by the stages.
    void Chm2WordOnChange(const std::u16string& newInfo, int persent);
    void ChmToDocPDF_OnDenied(const std::u16string& deniedFile);
    void ChmToDocPDF_OnError(const std::u16string& ErrMsg);

    std::unique_ptr<TChmToDocPDF> BrevaltPDF;
    ProgressGauge* Gauge1 = nullptr;     // not owned
    CaptionButton* btnCancel = nullptr;  // not owned
    TextLine* lbInfo = nullptr;          // not owned
    std::u16string ErrorMsg;
    std::u16string chm;  // the help file to convert
    int position = 0;
    std::u16string info;
    std::atomic<bool> WantToExit{false};
    std::u16string DeniedFile;

protected:
    void Execute() override;

private:
    void UpdateProgress();
    void AskDenied();
    // Ends a job that an exception stopped: the working folder goes, a failure is reported.
    void endAfterFailure(const std::u16string& message);

    UserInterface& m_ui;
};

}  // namespace quillet
