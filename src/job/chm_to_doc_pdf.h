// The conversion object: the project and distillation state of one conversion plus its settings,
// output target, document title, result flags and events. The Word stage that writes the document
// is supplied from outside (see WordStage), so this library does not depend on it.
#pragma once

#include "distill/chm_distill.h"
#include "job/doc_settings.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace quillet {

// The output file exists and cannot be written.
using TDeniedEvent = std::function<void(const std::u16string& DeniedFile)>;
// The Word stage failed with this message.
using TErrorEvent = std::function<void(const std::u16string& ErrMsg)>;

// A cancellation requested by the user; always carries the message "用户取消！".
class EUserCancel : public std::runtime_error {
public:
    EUserCancel();
};

class TChmToDocPDF;

// Builds and saves the Word document of a distilled project. The program wires the real stage
// in; tests put a double here.
using WordStage = std::function<void(TChmToDocPDF& job)>;

class TChmToDocPDF : public TCHMDistill {
public:
    TChmToDocPDF();

    // Copies the four settings that distillation reads into its own fields.
    void UpdateSettings();

    // The Word stage. Throws when no stage has been supplied.
    virtual void OutputWord();
    void setWordStage(WordStage stage) { m_wordStage = std::move(stage); }

    std::unique_ptr<TDocPDFSettings> Settings;
    std::u16string pdf;    // output file chosen by the user
    std::u16string Title;  // document title typed by the user (hides the help file's title)
    int max = 0;           // number of contents entries
    bool Failed = false;   // the Word stage failed
    TDeniedEvent FOnDenied;
    TErrorEvent FOnError;
    bool Abort = false;  // the user gave up writing the output file
    bool OK = false;     // the Word stage has ended, successfully or not

private:
    WordStage m_wordStage;
};

}  // namespace quillet
