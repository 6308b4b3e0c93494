#include "job/chm_to_doc_pdf.h"

namespace quillet {

TChmToDocPDF::TChmToDocPDF() : Settings(std::make_unique<TDocPDFSettings>()) {}

void TChmToDocPDF::UpdateSettings() {
    AddHint = Settings->AddHint;
    HintFormat = Settings->HintFormat;
    Discard = Settings->Discard;
    Addenda = Settings->Addenda;
}

void TChmToDocPDF::OutputWord() {
    if (!m_wordStage) throw std::runtime_error("writing the Word document is not built yet");
    m_wordStage(*this);
}

}  // namespace quillet
