#include "job/chm_to_doc_pdf.h"

#include "platform/translation.h"

namespace quillet {

namespace {

std::string cancelMessage() {
    return trText(QT_TRANSLATE_NOOP("quillet", "用户取消！"));
}

}  // namespace

EUserCancel::EUserCancel() : std::runtime_error(cancelMessage()) {}

TChmToDocPDF::TChmToDocPDF() : Settings(std::make_unique<TDocPDFSettings>()) {}

void TChmToDocPDF::UpdateSettings() {
    AddHint = Settings->AddHint;
    HintFormat = Settings->HintFormat;
    Discard = Settings->Discard;
    LinkedHelp = Settings->LinkedHelp;
    Addenda = Settings->Addenda;
}

void TChmToDocPDF::OutputWord() {
    if (!m_wordStage) throw std::runtime_error("writing the Word document is not built yet");
    m_wordStage(*this);
}

}  // namespace quillet
